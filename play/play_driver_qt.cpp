#include "play/play_driver_qt.h"

#include "play/play_answers_qt.h"
#include "play/play_check_verbs_qt.h"
#include "play/play_control_verbs_qt.h"
#include "play/play_picture_verbs_qt.h"
#include "play/play_pointer_verbs_qt.h"
#include "play/play_search_verbs_qt.h"
#include "play/play_session_qt.h"
#include "play/play_step_runner_qt.h"
#include "play/play_trackbar_verbs_qt.h"

namespace tavrin {
namespace {

// Hands each step to the verbs that perform it. Boxes and dialogs are answered from
// the script for the driver's whole life.
class play_driver {
  public:
    explicit play_driver(play_session& session)
        : session_(session),
          answers_(session),
          controls_(session),
          trackbars_(session),
          pointer_(session),
          search_(session),
          checks_(session, answers_),
          pictures_(session),
          runner_(
              session, [this](const play_step& s) { return perform(s); },
              [this] { return answers_.unused(); }) {}

    int run() { return runner_.run(); }

  private:
    play_outcome perform(const play_step& s) {
        switch (s.verb) {
            case play_verb::tab:
                return controls_.tab(s);
            case play_verb::click:
                return controls_.click(s);
            case play_verb::type:
                return controls_.type(s);
            case play_verb::key:
                return controls_.key(s);
            case play_verb::focus:
                return controls_.focus(s);
            case play_verb::choose:
                return controls_.choose(s);
            case play_verb::slide:
                return trackbars_.slide(s);
            case play_verb::press:
            case play_verb::move:
            case play_verb::release:
            case play_verb::drag:
                return pointer_.pointer(s);
            case play_verb::answer:
                answers_.queue_answer(s);
                return proceed();
            case play_verb::file:
                answers_.queue_file(s);
                return proceed();
            case play_verb::discover:
                return search_.discover(s);
            case play_verb::connect:
                return search_.connect(s);
            case play_verb::wait:
                return waiting([] { return false; }, s.number, {}, [] { return proceed(); });
            case play_verb::wait_for:
                return checks_.wait_for(s);
            case play_verb::expect:
                return checks_.expect(s);
            case play_verb::expect_log:
                return checks_.expect_log(s);
            case play_verb::expect_lamp:
                return checks_.expect_lamp(s);
            case play_verb::expect_box:
                return checks_.expect_box(s);
            case play_verb::shot:
                return pictures_.shot(s);
            case play_verb::shot_window:
                return pictures_.shot_window(s);
        }
        return session_.script_error("unknown verb");
    }

    play_session& session_;
    dialog_answers answers_;
    control_verbs controls_;
    trackbar_verbs trackbars_;
    pointer_verbs pointer_;
    search_verbs search_;
    check_verbs checks_;
    picture_verbs pictures_;
    step_runner runner_;
};

}  // namespace

int run_play(main_window& window, const play_script& script, const play_options& options,
             std::ostream& out, std::ostream& err) {
    play_session session(window, script, options, out, err);
    play_driver driver(session);
    return driver.run();
}

}  // namespace tavrin
