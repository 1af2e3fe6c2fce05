#include "play/play_driver_qt.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTimer>
#include <deque>
#include <functional>
#include <optional>

#include "window/main_window_qt.h"
#include "play/play_controls_qt.h"
#include "play/play_input_qt.h"
#include "play/tour_qt.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/graph_mapping.h"
#include "platform/ui/message_box.h"
#include "platform/ui/trackbar.h"

namespace tavrin {
namespace {

// A text as a script writes it in quotes, so that a message stays on one line and
// can be pasted back into the script.
std::string in_quotes(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '"' || c == '\\')
            out += std::string("\\") + c;
        else
            out += c;
    }
    return out + "\"";
}

std::string in_quotes(const QString& text) {
    return in_quotes(text.toStdString());
}

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

std::string joined(const QStringList& items) {
    if (items.isEmpty())
        return "none";
    QStringList shown;
    for (const QString& item : items)
        shown << QString::fromStdString(in_quotes(item));
    return shown.join(QStringLiteral(", ")).toStdString();
}

std::string widget_label(QWidget* w) {
    if (w == nullptr)
        return "nothing";
    if (!w->objectName().isEmpty())
        return w->objectName().toStdString();
    return w->metaObject()->className();
}

bool answer_fits(box_answer answer, box_buttons buttons) {
    switch (buttons) {
        case box_buttons::ok:
            return answer == box_answer::ok;
        case box_buttons::ok_cancel:
            return answer == box_answer::ok || answer == box_answer::cancel;
        case box_buttons::yes_no:
            return answer == box_answer::yes || answer == box_answer::no;
    }
    return false;
}

const char* buttons_name(box_buttons buttons) {
    switch (buttons) {
        case box_buttons::ok:
            return "OK";
        case box_buttons::ok_cancel:
            return "OK and Cancel";
        case box_buttons::yes_no:
            return "Yes and No";
    }
    return "?";
}

struct key_stroke {
    int key;
    QString text;
};

key_stroke stroke_of(play_key key) {
    switch (key) {
        case play_key::enter:
            return {Qt::Key_Return, QStringLiteral("\r")};
        case play_key::tab:
            return {Qt::Key_Tab, QStringLiteral("\t")};
        case play_key::backspace:
            return {Qt::Key_Backspace, QStringLiteral("\b")};
        case play_key::escape:
            return {Qt::Key_Escape, QStringLiteral("\x1b")};
        case play_key::del:
            return {Qt::Key_Delete, QStringLiteral("\x7f")};
        case play_key::up:
            return {Qt::Key_Up, {}};
        case play_key::down:
            return {Qt::Key_Down, {}};
        case play_key::left:
            return {Qt::Key_Left, {}};
        case play_key::right:
            return {Qt::Key_Right, {}};
        case play_key::page_up:
            return {Qt::Key_PageUp, {}};
        case play_key::page_down:
            return {Qt::Key_PageDown, {}};
        case play_key::home:
            return {Qt::Key_Home, {}};
        case play_key::end:
            return {Qt::Key_End, {}};
    }
    return {Qt::Key_unknown, {}};
}

// Where a pointer clicks a control: a check box or radio button on its box, anything
// else in its middle.
QPoint click_point(QWidget* control) {
    const bool check = qobject_cast<QCheckBox*>(control) != nullptr;
    const bool radio = qobject_cast<QRadioButton*>(control) != nullptr;
    if (check || radio) {
        QStyleOptionButton option;
        option.initFrom(control);
        const QRect box = control->style()->subElementRect(
            check ? QStyle::SE_CheckBoxIndicator : QStyle::SE_RadioButtonIndicator, &option,
            control);
        if (box.isValid())
            return box.center();
    }
    return control->rect().center();
}

// What a step leads to: the next step, a wait, or the end with an exit code.
struct outcome {
    int code = -1;  // -1 goes on
    std::string message;

    struct wait_spec {
        std::function<bool()> done;
        int limit_ms = 0;
        std::function<outcome()> then;        // when done
        std::function<outcome()> on_timeout;  // when the time is up first
    };
    std::optional<wait_spec> wait;
};

outcome proceed() {
    return {};
}

outcome waiting(std::function<bool()> done, int limit_ms, std::function<outcome()> then,
                std::function<outcome()> on_timeout) {
    outcome o;
    o.wait = outcome::wait_spec{std::move(done), limit_ms, std::move(then), std::move(on_timeout)};
    return o;
}

class play_driver : public QObject {
  public:
    play_driver(main_window& window, const play_script& script, const play_options& options,
                std::ostream& out, std::ostream& err)
        : window_(window), script_(script), options_(options), out_(out), err_(err) {
        step_timer_.setSingleShot(true);
        connect(&step_timer_, &QTimer::timeout, this, &play_driver::run_next);
        poll_timer_.setInterval(options_.poll_ms);
        connect(&poll_timer_, &QTimer::timeout, this, &play_driver::poll);
    }

    int run() {
        previous_presenter_ = set_box_presenter(
            [this](QWidget*, const std::string& text, const std::string&, box_icon,
                   box_buttons buttons) { return present_box(text, buttons); });
        previous_chooser_ =
            set_file_chooser([this](QWidget*, const open_file_request&) { return choose_file(); });
        step_timer_.start(0);
        const int code = loop_.exec();
        set_box_presenter(std::move(previous_presenter_));
        set_file_chooser(std::move(previous_chooser_));
        return code;
    }

  private:
    // ---- the steps in order

    const play_step& step() const { return script_.steps[index_]; }

    std::string where(int line) const { return script_.name + ":" + std::to_string(line) + ": "; }

    outcome failed(const std::string& expected, const std::string& got) const {
        return {play_failed, where(step().line) + "expected " + expected + ", got " + got, {}};
    }

    outcome script_error(const std::string& problem) const {
        return {play_script_error, where(step().line) + problem + ": " + step().source, {}};
    }

    void run_next() {
        // Whatever the last step set going (queued signals, repaints) lands first.
        QCoreApplication::sendPostedEvents();
        if (index_ >= script_.steps.size()) {
            finish(leftovers());
            return;
        }
        follow(perform(step()));
    }

    void follow(outcome o) {
        if (hook_failure_)
            o = *std::exchange(hook_failure_, std::nullopt);
        if (o.code >= 0) {
            finish(o);
            return;
        }
        if (o.wait) {
            wait_ = std::move(o.wait);
            deadline_ = QDeadlineTimer(wait_->limit_ms);
            poll_timer_.start();
            poll();
            return;
        }
        ++index_;
        step_timer_.start(0);
    }

    void poll() {
        if (!wait_)
            return;
        if (hook_failure_) {
            poll_timer_.stop();
            wait_.reset();
            follow(proceed());
            return;
        }
        std::function<outcome()> next;
        if (wait_->done())
            next = std::move(wait_->then);
        else if (deadline_.hasExpired())
            next = std::move(wait_->on_timeout);
        else
            return;
        poll_timer_.stop();
        wait_.reset();
        follow(next ? next() : proceed());
    }

    outcome leftovers() {
        if (!answers_.empty())
            return {play_failed,
                    where(answers_.front().line) + "expected a message box to answer " +
                        answer_name(answers_.front().answer) + ", got none",
                    {}};
        if (!files_.empty())
            return {play_failed,
                    where(files_.front().line) + "expected a file dialog for " +
                        in_quotes(files_.front().path) + ", got none",
                    {}};
        return {play_done, {}, {}};
    }

    void finish(const outcome& o) {
        poll_timer_.stop();
        if (!o.message.empty())
            err_ << o.message << "\n";
        // A button still held is let go where the pointer is.
        if (held_bar_ != nullptr && mouse_held())
            mouse_release(held_bar_, held_bar_->thumb_rect().center());
        else if (mouse_held() && held_at_ != nullptr)
            mouse_release(held_at_, held_point_);
        loop_.exit(o.code);
    }

    outcome perform(const play_step& s) {
        switch (s.verb) {
            case play_verb::tab:
                return choose_tab(s);
            case play_verb::click:
                return click(s);
            case play_verb::type:
                return type(s);
            case play_verb::key:
                return press_key(s);
            case play_verb::focus:
                return focus(s);
            case play_verb::choose:
                return choose(s);
            case play_verb::slide:
                return slide(s);
            case play_verb::press:
            case play_verb::move:
            case play_verb::release:
            case play_verb::drag:
                return pointer(s);
            case play_verb::answer:
                answers_.push_back({s.answer, s.line});
                return proceed();
            case play_verb::file:
                files_.push_back({s.text, s.line});
                return proceed();
            case play_verb::discover:
                return discover(s);
            case play_verb::connect:
                return connect_device(s);
            case play_verb::wait:
                return waiting([] { return false; }, s.number, {}, [] { return proceed(); });
            case play_verb::wait_for:
                return wait_for(s);
            case play_verb::expect:
                return expect(s);
            case play_verb::expect_log:
                return expect_log(s);
            case play_verb::expect_lamp:
                return expect_lamp(s);
            case play_verb::expect_box:
                return expect_box(s);
            case play_verb::shot:
                return shot(s);
            case play_verb::shot_window:
                return shot_window(s);
        }
        return script_error("unknown verb");
    }

    // ---- controls

    // The named control, or a script error.
    QWidget* control(const play_step& s, outcome& error) {
        QWidget* w = find_control(window_, s.id);
        if (w == nullptr)
            error = script_error("no control " + control_label(s.id) +
                                 " on the window, its page or an open window");
        return w;
    }

    // A person can act on a control only when it is shown and enabled; the pointer
    // then goes to its window, which becomes the active one.
    std::optional<outcome> usable(QWidget* w, const std::string& label) {
        if (!w->isVisible())
            return failed(label + " shown", "hidden");
        if (!w->isEnabled())
            return failed(label + " enabled", "disabled");
        activate_window_of(w);
        return std::nullopt;
    }

    // The pointer at `pos` must reach `w` (or a part of it), not a control on top.
    std::optional<outcome> reachable(QWidget* w, QPoint pos, const std::string& label) {
        QWidget* under = widget_under(w, pos);
        if (under != w && (under == nullptr || !w->isAncestorOf(under)))
            return failed(label + " under the pointer", widget_label(under));
        return std::nullopt;
    }

    std::optional<outcome> clickable(QWidget* w, QPoint pos, const std::string& label) {
        if (auto refused = usable(w, label))
            return refused;
        return reachable(w, pos, label);
    }

    outcome choose_tab(const play_step& s) {
        QTabWidget* tabs = window_.tabs();
        int index = -1;
        for (int i = 0; i < tabs->count(); ++i) {
            if (tabs->tabText(i) == qt(s.text))
                index = i;
        }
        if (index < 0)
            return script_error("no tab " + in_quotes(s.text));
        QTabBar* bar = tabs->tabBar();
        const QPoint at = bar->tabRect(index).center();
        if (auto refused = clickable(bar, at, "the tab " + in_quotes(s.text)))
            return *refused;
        mouse_click(bar, at);
        if (tabs->currentIndex() != index)
            return failed("the tab " + in_quotes(s.text) + " chosen",
                          in_quotes(tabs->tabText(tabs->currentIndex())));
        return proceed();
    }

    outcome click(const play_step& s) {
        outcome error;
        QWidget* w = control(s, error);
        if (w == nullptr)
            return error;
        const QPoint at = click_point(w);
        if (auto refused = clickable(w, at, control_label(s.id)))
            return *refused;
        mouse_click(w, at);
        return proceed();
    }

    outcome type(const play_step& s) {
        outcome error;
        QWidget* w = control(s, error);
        if (w == nullptr)
            return error;
        if (qobject_cast<QLineEdit*>(w) == nullptr)
            return script_error(control_label(s.id) + " is not an edit");
        const QPoint at = w->rect().center();
        if (auto refused = clickable(w, at, control_label(s.id)))
            return *refused;
        QPointer<QWidget> edit = w;
        mouse_click(w, at);
        if (edit.isNull() || QApplication::focusWidget() != edit)
            return failed(control_label(s.id) + " to have the focus after a click",
                          widget_label(QApplication::focusWidget()));
        for (const QChar c : qt(s.text)) {
            if (edit.isNull())
                return failed(control_label(s.id) + " while typing", "it gone");
            type_keys(edit, QString(c));
        }
        return proceed();
    }

    // Gives `w` the focus as Tab would; a failure when it cannot take it.
    std::optional<outcome> give_focus(QWidget* w, const std::string& label) {
        if (auto refused = usable(w, label))
            return refused;
        if (w->focusPolicy() == Qt::NoFocus)
            return script_error(label + " cannot take the focus");
        if (QApplication::focusWidget() != w) {
            w->setFocus(Qt::TabFocusReason);
            QCoreApplication::processEvents();
        }
        if (QApplication::focusWidget() != w)
            return failed(label + " to have the focus", widget_label(QApplication::focusWidget()));
        return std::nullopt;
    }

    outcome focus(const play_step& s) {
        outcome error;
        QWidget* w = control(s, error);
        if (w == nullptr)
            return error;
        if (auto refused = give_focus(w, control_label(s.id)))
            return *refused;
        return proceed();
    }

    outcome press_key(const play_step& s) {
        outcome error;
        QWidget* w = control(s, error);
        if (w == nullptr)
            return error;
        if (auto refused = give_focus(w, control_label(s.id)))
            return *refused;
        const key_stroke stroke = stroke_of(s.key);
        key_click(w, stroke.key, stroke.text);
        return proceed();
    }

    outcome choose(const play_step& s) {
        outcome error;
        QWidget* w = control(s, error);
        if (w == nullptr)
            return error;
        auto* combo = qobject_cast<QComboBox*>(w);
        if (combo == nullptr)
            return script_error(control_label(s.id) + " is not a drop-down");
        const std::string label = control_label(s.id);
        const QPoint at = combo->rect().center();
        if (auto refused = clickable(combo, at, label))
            return *refused;
        mouse_click(combo, at);
        QAbstractItemView* view = combo->view();
        if (!view->isVisible())
            return failed(label + " open", "it closed");
        QWidget* popup = view->window();
        // The list as it is now: opening may have refilled it.
        int index = -1;
        if (s.entry_index)
            index = *s.entry_index < combo->count() ? *s.entry_index : -1;
        else if (s.has_text)
            index = combo->findText(qt(s.text), Qt::MatchExactly);
        if (index < 0) {
            key_click(popup, Qt::Key_Escape, QStringLiteral("\x1b"));
            if (!s.entry_index && !s.has_text)
                return closed(combo, label);
            QStringList entries;
            for (int i = 0; i < combo->count(); ++i)
                entries << combo->itemText(i);
            const std::string wanted = s.entry_index ? "entry " + std::to_string(*s.entry_index)
                                                     : "the entry " + in_quotes(s.text);
            return failed(wanted + " in " + label, joined(entries));
        }
        // The pointer goes over the entry, which marks it, and Enter takes it.
        const QModelIndex entry =
            combo->model()->index(index, combo->modelColumn(), combo->rootModelIndex());
        view->scrollTo(entry);
        mouse_move(view->viewport(), view->visualRect(entry).center());
        if (view->currentIndex() != entry)
            view->setCurrentIndex(entry);  // as the arrow keys would
        key_click(popup, Qt::Key_Return, QStringLiteral("\r"));
        return closed(combo, label);
    }

    outcome closed(QComboBox* combo, const std::string& label) {
        if (combo->view()->isVisible())
            return failed(label + " closed", "it open");
        return proceed();
    }

    // ---- trackbars

    outcome slide(const play_step& s) {
        outcome error;
        QWidget* w = control(s, error);
        if (w == nullptr)
            return error;
        auto* bar = qobject_cast<trackbar*>(w);
        if (bar == nullptr)
            return script_error(control_label(s.id) + " is not a trackbar");
        const std::string label = control_label(s.id);
        if (s.number < bar->minimum() || s.number > bar->maximum())
            return failed("a position of " + label + " within " + std::to_string(bar->minimum()) +
                              " ... " + std::to_string(bar->maximum()),
                          std::to_string(s.number));
        switch (s.slide) {
            case slide_kind::line:
            case slide_kind::page:
                return step_keys(bar, s.number, s.slide == slide_kind::page, label);
            case slide_kind::track:
                return drag_thumb(bar, s.number, label, false);
            case slide_kind::thumb:
            case slide_kind::drag:
            case slide_kind::end:
                return drag_thumb(bar, s.number, label, true);
        }
        return proceed();
    }

    // Arrow or page keys until the bar is at `pos`; a step that would pass it fails.
    outcome step_keys(trackbar* bar, int pos, bool pages, const std::string& label) {
        if (auto refused = give_focus(bar, label))
            return *refused;
        const int size = pages ? bar->pageStep() : bar->singleStep();
        const char* unit = pages ? " by pages" : " by lines";
        for (int guard = 0; bar->value() != pos; ++guard) {
            const int now = bar->value();
            const bool up = pos > now;  // towards the maximum
            const bool at_end = pos == (up ? bar->maximum() : bar->minimum());
            if (size <= 0 || guard > bar->maximum() - bar->minimum() ||
                (std::abs(pos - now) < size && !at_end))
                return failed(label + " to reach " + std::to_string(pos) + unit,
                              std::to_string(now));
            int key = 0;
            if (pages)
                key = (up != bar->invertedControls()) ? Qt::Key_PageUp : Qt::Key_PageDown;
            else
                key = (up != bar->invertedControls()) ? Qt::Key_Up : Qt::Key_Down;
            key_click(bar, key);
            if (bar->value() == now)
                return failed(label + " to move" + unit, "it stuck at " + std::to_string(now));
        }
        return proceed();
    }

    // Presses the thumb (unless it is held already), moves it to `pos` in one move and,
    // when `let_go`, releases it.
    outcome drag_thumb(trackbar* bar, int pos, const std::string& label, bool let_go) {
        if (held_bar_ != bar) {
            const QPoint grip = bar->thumb_rect().center();
            if (auto refused = clickable(bar, grip, label))
                return *refused;
            mouse_press(bar, grip);
            held_bar_ = bar;
            if (!bar->isSliderDown()) {
                held_bar_ = nullptr;
                mouse_release(bar, grip);
                return failed(label + "'s thumb held", "it not grabbed");
            }
        }
        if (bar->sliderPosition() != pos) {
            mouse_move(bar, bar->thumb_centre_at(pos));
            // More positions than pixels: the last move lands on the exact position.
            if (bar->sliderPosition() != pos)
                bar->setSliderPosition(pos);
        }
        if (let_go) {
            mouse_release(bar, bar->thumb_centre_at(pos));
            held_bar_ = nullptr;
        }
        if (bar->sliderPosition() != pos)
            return failed(label + " at " + std::to_string(pos),
                          std::to_string(bar->sliderPosition()));
        return proceed();
    }

    // ---- the pointer on the page

    std::optional<QPoint> page_point(QWidget* page, const play_point& p, outcome& error) {
        const bool graph =
            p.x.kind != play_coord::unit::pixel || p.y.kind != play_coord::unit::pixel;
        found_graph g;
        if (graph) {
            g = find_graph(page);
            if (g.mapping == nullptr) {
                error = script_error("the page draws no graph to place the point on");
                return std::nullopt;
            }
        }
        QPoint at(static_cast<int>(p.x.value), static_cast<int>(p.y.value));
        if (p.x.kind == play_coord::unit::hertz)
            at.setX(g.widget->mapTo(page, QPoint(g.mapping->graph_x(p.x.value), 0)).x());
        if (p.y.kind == play_coord::unit::decibel)
            at.setY(g.widget->mapTo(page, QPoint(0, g.mapping->graph_y(p.y.value))).y());
        return at;
    }

    outcome pointer(const play_step& s) {
        QWidget* page = window_.page_window();
        if (page == nullptr)
            return script_error("no page is shown");
        std::vector<QPoint> at;
        for (const play_point& p : s.points) {
            outcome error;
            const std::optional<QPoint> point = page_point(page, p, error);
            if (!point)
                return error;
            at.push_back(*point);
        }
        if (s.verb == play_verb::press || s.verb == play_verb::drag) {
            if (auto refused = usable(page, "the page"))
                return *refused;
            if (widget_under(page, at.front()) == nullptr)
                return failed("the point " + std::to_string(at.front().x()) + ", " +
                                  std::to_string(at.front().y()) + " on the window",
                              "it outside");
        }
        switch (s.verb) {
            case play_verb::press:
                press_page(page, at.front());
                break;
            case play_verb::move:
                move_page(page, at.front());
                break;
            case play_verb::release:
                mouse_release(page, at.front());
                held_at_ = nullptr;
                break;
            case play_verb::drag: {
                press_page(page, at[0]);
                const QPoint from = at[0], to = at[1];
                for (int i = 1; i <= s.number; ++i) {
                    if (window_.page_window() != page)
                        return failed("the page to stay while dragging", "another page");
                    move_page(page, from + (to - from) * i / s.number);
                }
                mouse_release(page, to);
                held_at_ = nullptr;
                break;
            }
            default:
                break;
        }
        return proceed();
    }

    void press_page(QWidget* page, QPoint at) {
        mouse_press(page, at);
        held_at_ = page;
        held_point_ = at;
    }

    void move_page(QWidget* page, QPoint at) {
        mouse_move(page, at);
        held_point_ = at;
    }

    // ---- message boxes and file dialogs

    box_answer present_box(const std::string& text, box_buttons buttons) {
        last_box_ = text;
        const int line = index_ < script_.steps.size() ? step().line : 0;
        if (answers_.empty()) {
            const box_answer answer = default_answer(buttons);
            err_ << where(line) << "no answer waiting for the message box " << in_quotes(text)
                 << "; answered " << answer_name(answer) << "\n";
            return answer;
        }
        const pending_answer next = answers_.front();
        answers_.pop_front();
        if (!answer_fits(next.answer, buttons)) {
            if (!hook_failure_)
                hook_failure_ = outcome{play_failed,
                                        where(next.line) + "expected a message box to answer " +
                                            answer_name(next.answer) + ", got " + in_quotes(text) +
                                            " with " + buttons_name(buttons),
                                        {}};
            return default_answer(buttons);
        }
        return next.answer;
    }

    std::optional<std::string> choose_file() {
        const int line = index_ < script_.steps.size() ? step().line : 0;
        if (files_.empty()) {
            err_ << where(line) << "no file waiting for the file dialog; cancelled\n";
            return std::nullopt;
        }
        const pending_file next = files_.front();
        files_.pop_front();
        QString path = qt(next.path);
        if (QFileInfo(path).isRelative() && !options_.files_dir.empty())
            path = QDir(qt(options_.files_dir)).filePath(path);
        if (!QFileInfo(path).isFile()) {
            if (!hook_failure_)
                hook_failure_ = outcome{play_failed,
                                        where(next.line) + "expected a file " + in_quotes(path) +
                                            " to choose, got none there",
                                        {}};
            return std::nullopt;
        }
        return path.toStdString();
    }

    // ---- search and connection

    bool wanted_listed(const play_step& s) const {
        QListWidget* list = window_.device_list();
        if (!s.has_text)
            return list->count() > 0;
        return !list->findItems(qt(s.text), Qt::MatchExactly).isEmpty();
    }

    QStringList listed() const {
        QStringList names;
        for (int i = 0; i < window_.device_list()->count(); ++i)
            names << window_.device_list()->item(i)->text();
        return names;
    }

    outcome discover(const play_step& s) {
        searches_ = 0;
        return search(s);
    }

    // Presses Discovery (unless a search is running already) and waits for its end; a
    // person searches again while what they look for is missing.
    outcome search(const play_step& s) {
        ++searches_;
        if (window_.scan() == nullptr) {
            auto* button = window_.controls().get<QPushButton>(idc_discovery);
            const QPoint at = button->rect().center();
            if (auto refused = clickable(button, at, control_label(std::to_string(idc_discovery))))
                return *refused;
            mouse_click(button, at);
        }
        return waiting(
            [this] { return window_.scan() == nullptr; }, options_.search_ms,
            [this, &s]() -> outcome {
                if (wanted_listed(s))
                    return proceed();
                if (searches_ < options_.searches)
                    return search(s);
                if (!s.has_text)
                    return proceed();  // an empty network stays empty
                return failed(in_quotes(s.text) + " in the device list", joined(listed()));
            },
            [this] {
                return failed(
                    "the search to end within " + std::to_string(options_.search_ms) + " ms",
                    "it still running");
            });
    }

    outcome connect_device(const play_step& s) {
        QListWidget* list = window_.device_list();
        QListWidgetItem* item = nullptr;
        if (s.has_text) {
            const QList<QListWidgetItem*> found = list->findItems(qt(s.text), Qt::MatchExactly);
            if (found.isEmpty())
                return failed(in_quotes(s.text) + " in the device list", joined(listed()));
            item = found.front();
        } else if (!list->selectedItems().isEmpty()) {
            item = list->selectedItems().front();
        } else if (list->count() > 0) {
            item = list->item(0);
        } else {
            return failed("an entry in the device list", "none");
        }
        list->scrollToItem(item);
        QWidget* viewport = list->viewport();
        const QPoint at = list->visualItemRect(item).center();
        if (auto refused = clickable(viewport, at, "the device list"))
            return *refused;
        mouse_double_click(viewport, at);
        return waiting(
            [this] {
                const std::optional<lamp_state> lamp = lamp_shown(window_);
                return lamp == lamp_state::green || lamp == lamp_state::yellow;
            },
            options_.connect_ms, {},
            [this] {
                const std::optional<lamp_state> lamp = lamp_shown(window_);
                return failed("the lamp green or yellow within " +
                                  std::to_string(options_.connect_ms) + " ms",
                              lamp ? lamp_name(*lamp) : "no lamp colour");
            });
    }

    // ---- what the window shows

    outcome wait_for(const play_step& s) {
        const std::string id = s.id;
        const QString want = qt(s.text);
        const int limit = s.timeout_ms.value_or(default_wait_for_ms);
        auto shows = [this, id, want] {
            QWidget* w = find_control(window_, id);
            const std::optional<QString> text = w ? shown_text(w) : std::nullopt;
            return text && *text == want;
        };
        return waiting(shows, limit, {}, [this, id, want, limit]() -> outcome {
            QWidget* w = find_control(window_, id);
            if (w == nullptr)
                return script_error("no control " + control_label(id) +
                                    " on the window, its page or an open window");
            const std::optional<QString> text = shown_text(w);
            if (!text)
                return script_error(control_label(id) + " shows no text");
            return failed(control_label(id) + " " + in_quotes(want) + " within " +
                              std::to_string(limit) + " ms",
                          in_quotes(*text));
        });
    }

    outcome expect(const play_step& s) {
        outcome error;
        QWidget* w = control(s, error);
        if (w == nullptr)
            return error;
        const std::optional<QString> text = shown_text(w);
        if (!text)
            return script_error(control_label(s.id) + " shows no text");
        if (*text != qt(s.text))
            return failed(control_label(s.id) + " " + in_quotes(s.text), in_quotes(*text));
        return proceed();
    }

    outcome expect_log(const play_step& s) {
        const QStringList lines = log_lines(window_);
        if (lines.contains(qt(s.text)))
            return proceed();
        return failed("the log line " + in_quotes(s.text),
                      lines.isEmpty() ? "an empty message list" : in_quotes(lines.front()));
    }

    outcome expect_lamp(const play_step& s) {
        const std::optional<lamp_state> lamp = lamp_shown(window_);
        if (lamp == s.lamp)
            return proceed();
        return failed(std::string("the lamp ") + lamp_name(s.lamp),
                      lamp ? lamp_name(*lamp) : "no lamp colour");
    }

    outcome expect_box(const play_step& s) {
        if (!last_box_)
            return failed("the message box " + in_quotes(s.text), "no message box");
        if (*last_box_ != s.text)
            return failed("the message box " + in_quotes(s.text), in_quotes(*last_box_));
        return proceed();
    }

    // A picture of an open secondary window (Network 141, Save As 145, Setting Summary
    // 147), for guides that show them.
    outcome shot_window(const play_step& s) {
        QWidget* shown = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->isVisible() && top->objectName() == qt("window_" + s.id))
                shown = top;
        }
        if (shown == nullptr)
            return failed("window " + s.id + " open", "it closed");
        return save_picture(s, shown->grab().toImage());
    }

    outcome shot(const play_step& s) { return save_picture(s, window_picture(window_)); }

    outcome save_picture(const play_step& s, const QImage& picture) {
        QString path = qt(s.text);
        if (QFileInfo(path).isRelative() && !options_.shots_dir.empty())
            path = QDir(qt(options_.shots_dir)).filePath(path);
        const QFileInfo info(path);
        if (!QDir().mkpath(info.absolutePath()) || !picture.save(path, "PNG"))
            return script_error("cannot write " + path.toStdString());
        if (options_.announce_shots)
            out_ << "  " << path.toStdString() << "\n";
        return proceed();
    }

    struct pending_answer {
        box_answer answer;
        int line;
    };
    struct pending_file {
        std::string path;
        int line;
    };

    main_window& window_;
    const play_script& script_;
    const play_options& options_;
    std::ostream& out_;
    std::ostream& err_;
    QEventLoop loop_;
    QTimer step_timer_;
    QTimer poll_timer_;
    size_t index_ = 0;
    std::optional<outcome::wait_spec> wait_;
    QDeadlineTimer deadline_;
    std::optional<outcome> hook_failure_;
    std::deque<pending_answer> answers_;
    std::deque<pending_file> files_;
    std::optional<std::string> last_box_;
    int searches_ = 0;
    QPointer<trackbar> held_bar_;
    QPointer<QWidget> held_at_;
    QPoint held_point_;
    box_presenter previous_presenter_;
    file_chooser previous_chooser_;
};

}  // namespace

int run_play(main_window& window, const play_script& script, const play_options& options,
             std::ostream& out, std::ostream& err) {
    play_driver driver(window, script, options, out, err);
    return driver.run();
}

}  // namespace tavrin
