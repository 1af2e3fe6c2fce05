#include "play/play_check_verbs_qt.h"

#include "play/play_controls_qt.h"
#include "play/play_texts.h"

namespace tavrin {

play_outcome check_verbs::wait_for(const play_step& s) {
    const std::string id = s.id;
    const QString want = qt(s.text);
    const int limit = s.timeout_ms.value_or(default_wait_for_ms);
    auto shows = [this, id, want] {
        QWidget* w = find_control(session_.window(), id);
        const std::optional<QString> text = w ? shown_text(w) : std::nullopt;
        return text && *text == want;
    };
    return waiting(shows, limit, {}, [this, id, want, limit]() -> play_outcome {
        QWidget* w = find_control(session_.window(), id);
        if (w == nullptr)
            return reach_.missing(id);
        const std::optional<QString> text = shown_text(w);
        if (!text)
            return session_.script_error(control_label(id) + " shows no text");
        return session_.failed(
            control_label(id) + " " + in_quotes(want) + " within " + std::to_string(limit) + " ms",
            in_quotes(*text));
    });
}

play_outcome check_verbs::expect(const play_step& s) {
    play_outcome error;
    QWidget* w = reach_.find(s, error);
    if (w == nullptr)
        return error;
    const std::optional<QString> text = shown_text(w);
    if (!text)
        return session_.script_error(control_label(s.id) + " shows no text");
    if (*text != qt(s.text))
        return session_.failed(control_label(s.id) + " " + in_quotes(s.text), in_quotes(*text));
    return proceed();
}

play_outcome check_verbs::expect_log(const play_step& s) {
    const QStringList lines = log_lines(session_.window());
    if (lines.contains(qt(s.text)))
        return proceed();
    return session_.failed("the log line " + in_quotes(s.text),
                           lines.isEmpty() ? "an empty message list" : in_quotes(lines.front()));
}

play_outcome check_verbs::expect_lamp(const play_step& s) {
    const std::optional<lamp_state> lamp = lamp_shown(session_.window());
    if (lamp == s.lamp)
        return proceed();
    return session_.failed(std::string("the lamp ") + lamp_name(s.lamp),
                           lamp ? lamp_name(*lamp) : "no lamp colour");
}

play_outcome check_verbs::expect_box(const play_step& s) {
    const std::optional<std::string>& box = answers_.last_box();
    if (!box)
        return session_.failed("the message box " + in_quotes(s.text), "no message box");
    if (*box != s.text)
        return session_.failed("the message box " + in_quotes(s.text), in_quotes(*box));
    return proceed();
}

}  // namespace tavrin
