#include "play/play_script.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <utility>

namespace tavrin {
namespace {

struct verb_name {
    std::string_view name;
    play_verb verb;
};
constexpr verb_name verbs[] = {
    {"tab", play_verb::tab},
    {"click", play_verb::click},
    {"type", play_verb::type},
    {"key", play_verb::key},
    {"focus", play_verb::focus},
    {"choose", play_verb::choose},
    {"slide", play_verb::slide},
    {"press", play_verb::press},
    {"move", play_verb::move},
    {"release", play_verb::release},
    {"drag", play_verb::drag},
    {"answer", play_verb::answer},
    {"file", play_verb::file},
    {"discover", play_verb::discover},
    {"connect", play_verb::connect},
    {"wait", play_verb::wait},
    {"wait-for", play_verb::wait_for},
    {"expect", play_verb::expect},
    {"expect-log", play_verb::expect_log},
    {"expect-lamp", play_verb::expect_lamp},
    {"expect-box", play_verb::expect_box},
    {"shot", play_verb::shot},
    {"shot-window", play_verb::shot_window},
};

struct key_entry {
    std::string_view name;
    play_key key;
};
constexpr key_entry keys[] = {
    {"Enter", play_key::enter},
    {"Tab", play_key::tab},
    {"Backspace", play_key::backspace},
    {"Escape", play_key::escape},
    {"Delete", play_key::del},
    {"Up", play_key::up},
    {"Down", play_key::down},
    {"Left", play_key::left},
    {"Right", play_key::right},
    {"PageUp", play_key::page_up},
    {"PageDown", play_key::page_down},
    {"Home", play_key::home},
    {"End", play_key::end},
};

struct slide_entry {
    std::string_view name;
    slide_kind kind;
};
constexpr slide_entry slides[] = {
    {"line", slide_kind::line},   {"page", slide_kind::page}, {"thumb", slide_kind::thumb},
    {"track", slide_kind::track}, {"end", slide_kind::end},
};

struct answer_entry {
    std::string_view name;
    box_answer answer;
};
constexpr answer_entry answers[] = {
    {"yes", box_answer::yes},
    {"no", box_answer::no},
    {"ok", box_answer::ok},
    {"cancel", box_answer::cancel},
};

struct lamp_entry {
    std::string_view name;
    lamp_state lamp;
};
constexpr lamp_entry lamps[] = {
    {"red", lamp_state::red},
    {"green", lamp_state::green},
    {"yellow", lamp_state::yellow},
};

bool same_letters(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool blank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// A line without its comment: "#" starts one at the start of a word outside quotes.
std::string_view without_comment(std::string_view line) {
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '\\' && i + 1 < line.size())
                ++i;
            else if (c == '"')
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '#' && (i == 0 || blank(line[i - 1]))) {
            return line.substr(0, i);
        }
    }
    return line;
}

struct bad_line : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Reads the words of one line from left to right.
class line_reader {
  public:
    explicit line_reader(std::string_view rest) : rest_(trim(rest)) {}

    bool done() const { return rest_.empty(); }

    std::string_view word(const char* what) {
        if (rest_.empty())
            throw bad_line(std::string("missing ") + what);
        size_t end = 0;
        while (end < rest_.size() && !blank(rest_[end]))
            ++end;
        const std::string_view w = rest_.substr(0, end);
        rest_ = trim(rest_.substr(end));
        return w;
    }

    // A text: a quoted one (with \" \\ \n \t) that may be followed by more words, or
    // else the rest of the line as written.
    std::string text(const char* what, bool rest_only) {
        if (rest_.empty())
            throw bad_line(std::string("missing ") + what);
        if (rest_.front() != '"') {
            std::string all(rest_);
            rest_ = {};
            return all;
        }
        std::string out;
        size_t i = 1;
        for (; i < rest_.size() && rest_[i] != '"'; ++i) {
            if (rest_[i] == '\\' && i + 1 < rest_.size()) {
                ++i;
                // Multi-line texts (the info panel) need a line break.
                out.push_back(rest_[i] == 'n' ? '\n' : rest_[i] == 't' ? '\t' : rest_[i]);
                continue;
            }
            out.push_back(rest_[i]);
        }
        if (i >= rest_.size())
            throw bad_line(std::string("unterminated quote in ") + what);
        rest_ = trim(rest_.substr(i + 1));
        if (rest_only)
            finish();
        return out;
    }

    // Splits an unquoted text whose last word may be a number: "Amp-1 3000".
    std::string_view peek_rest() const { return rest_; }

    void finish() const {
        if (!rest_.empty())
            throw bad_line("unexpected \"" + std::string(rest_) + "\"");
    }

  private:
    std::string_view rest_;
};

int to_int(std::string_view word, const char* what, int min, int max) {
    int value = 0;
    std::string_view digits = word;
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        value < min || value > max)
        throw bad_line("bad number \"" + std::string(word) + "\" for " + what);
    return value;
}

std::string control_id(std::string_view word) {
    std::string_view digits = word;
    if (digits.substr(0, 4) == "idc_")
        digits.remove_prefix(4);
    if (digits.empty() || digits.size() > 9)
        throw bad_line("bad control id \"" + std::string(word) + "\"");
    for (char c : digits) {
        if (c < '0' || c > '9')
            throw bad_line("bad control id \"" + std::string(word) + "\"");
    }
    return std::string(digits);
}

// "120" pixels, "1000hz", "1.5khz", "+6db", "-3.5dB".
play_coord coordinate(std::string_view word, bool horizontal) {
    play_coord c;
    std::string_view number = word;
    double scale = 1;
    auto ends_with = [&](std::string_view suffix) {
        return number.size() > suffix.size() &&
               same_letters(number.substr(number.size() - suffix.size()), suffix);
    };
    if (ends_with("khz")) {
        c.kind = play_coord::unit::hertz;
        scale = 1000;
        number.remove_suffix(3);
    } else if (ends_with("hz")) {
        c.kind = play_coord::unit::hertz;
        number.remove_suffix(2);
    } else if (ends_with("db")) {
        c.kind = play_coord::unit::decibel;
        number.remove_suffix(2);
    }
    if (c.kind == play_coord::unit::pixel) {
        c.value = to_int(word, "a coordinate", -100000, 100000);
        return c;
    }
    if ((c.kind == play_coord::unit::hertz) != horizontal)
        throw bad_line("\"" + std::string(word) + "\" belongs on the other axis");
    const std::string text(number);
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value) ||
        (c.kind == play_coord::unit::hertz && value * scale <= 0) || std::isspace(text[0]))
        throw bad_line("bad number \"" + std::string(word) + "\" for a coordinate");
    c.value = value * scale;
    return c;
}

play_point point(line_reader& in) {
    play_point p;
    p.x = coordinate(in.word("x"), true);
    p.y = coordinate(in.word("y"), false);
    return p;
}

template <typename Entry, size_t N>
auto lookup(const Entry (&table)[N], std::string_view word, const char* what) {
    for (const Entry& e : table) {
        if (same_letters(e.name, word))
            return e;
    }
    std::string names;
    for (const Entry& e : table)
        names += (names.empty() ? "" : "|") + std::string(e.name);
    throw bad_line("bad " + std::string(what) + " \"" + std::string(word) + "\" (" + names + ")");
}

// The text and, when the line ends in a number after it, a time limit.
void text_with_limit(line_reader& in, play_step& step) {
    const bool quoted = !in.done() && in.peek_rest().front() == '"';
    if (quoted) {
        step.text = in.text("text", false);
        if (!in.done())
            step.timeout_ms = to_int(in.word("time"), "a time", 0, 3600000);
        in.finish();
    } else {
        std::string all = in.text("text", true);
        const size_t gap = all.find_last_of(" \t");
        if (gap != std::string::npos) {
            const std::string last = all.substr(gap + 1);
            if (!last.empty() && std::isdigit(static_cast<unsigned char>(last[0]))) {
                bool digits = true;
                for (char c : last)
                    digits = digits && std::isdigit(static_cast<unsigned char>(c));
                if (digits) {
                    step.timeout_ms = to_int(last, "a time", 0, 3600000);
                    all = std::string(trim(std::string_view(all).substr(0, gap)));
                }
            }
        }
        step.text = all;
    }
    step.has_text = true;
}

void read_arguments(line_reader& in, play_step& step) {
    switch (step.verb) {
        case play_verb::tab:
        case play_verb::expect_log:
        case play_verb::expect_box:
        case play_verb::file:
        case play_verb::shot:
            step.text = in.text("text", true);
            step.has_text = true;
            if (step.text.empty() && (step.verb == play_verb::file ||
                                      step.verb == play_verb::shot || step.verb == play_verb::tab))
                throw bad_line("missing text");
            break;
        case play_verb::discover:
        case play_verb::connect:
            if (!in.done()) {
                step.text = in.text("name", true);
                step.has_text = true;
            }
            break;
        case play_verb::click:
        case play_verb::focus:
            step.id = control_id(in.word("control id"));
            break;
        case play_verb::shot_window:
            step.id = control_id(in.word("window template id"));
            step.text = in.text("text", true);
            step.has_text = true;
            if (step.text.empty())
                throw bad_line("missing text");
            break;
        case play_verb::type:
        case play_verb::expect:
            step.id = control_id(in.word("control id"));
            step.text = in.text("text", true);
            step.has_text = true;
            break;
        case play_verb::key:
            step.id = control_id(in.word("control id"));
            step.key = lookup(keys, in.word("key"), "key").key;
            break;
        case play_verb::choose: {
            step.id = control_id(in.word("control id"));
            if (in.done())
                throw bad_line("missing entry");
            if (in.peek_rest().front() == '"') {
                step.text = in.text("entry", true);
                step.has_text = true;
                break;
            }
            const std::string_view entry = in.word("entry");
            if (same_letters(entry, "none"))
                break;
            if (entry.empty() || !std::isdigit(static_cast<unsigned char>(entry.front())))
                throw bad_line("an entry is an index, a text in quotes or none, not \"" +
                               std::string(entry) + "\"");
            step.entry_index = to_int(entry, "an entry", 0, 1000000);
            break;
        }
        case play_verb::slide:
            step.id = control_id(in.word("control id"));
            step.number = to_int(in.word("position"), "a position", -1000000, 1000000);
            if (!in.done())
                step.slide = lookup(slides, in.word("kind"), "kind").kind;
            break;
        case play_verb::press:
        case play_verb::move:
        case play_verb::release:
            step.points.push_back(point(in));
            break;
        case play_verb::drag:
            step.points.push_back(point(in));
            step.points.push_back(point(in));
            step.number = default_drag_steps;
            if (!in.done())
                step.number = to_int(in.word("steps"), "steps", 1, 1000);
            break;
        case play_verb::answer:
            step.answer = lookup(answers, in.word("answer"), "answer").answer;
            break;
        case play_verb::wait:
            step.number = to_int(in.word("time"), "a time", 0, 3600000);
            break;
        case play_verb::wait_for:
            step.id = control_id(in.word("control id"));
            text_with_limit(in, step);
            break;
        case play_verb::expect_lamp:
            step.lamp = lookup(lamps, in.word("colour"), "colour").lamp;
            break;
    }
    in.finish();
}

}  // namespace

play_parse_result parse_play_script(std::string_view text, std::string name) {
    play_parse_result out;
    out.script.name = std::move(name);
    int number = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::string_view body = trim(without_comment(line));
        if (body.empty())
            continue;
        play_step step;
        step.line = number;
        step.source = std::string(trim(line));
        try {
            line_reader in(body);
            const std::string_view verb = in.word("verb");
            bool known = false;
            for (const verb_name& v : verbs) {
                if (v.name == verb) {
                    step.verb = v.verb;
                    known = true;
                }
            }
            if (!known)
                throw bad_line("unknown verb \"" + std::string(verb) + "\"");
            read_arguments(in, step);
        } catch (const bad_line& e) {
            out.script.steps.clear();
            out.error = play_parse_error{number, step.source, e.what()};
            return out;
        }
        out.script.steps.push_back(std::move(step));
    }
    return out;
}

std::string describe(const play_parse_error& error, const std::string& name) {
    return name + ":" + std::to_string(error.line) + ": " + error.message + ": " + error.source;
}

const char* key_name(play_key key) {
    for (const key_entry& k : keys) {
        if (k.key == key)
            return k.name.data();
    }
    return "?";
}

const char* lamp_name(lamp_state lamp) {
    for (const lamp_entry& l : lamps) {
        if (l.lamp == lamp)
            return l.name.data();
    }
    return "?";
}

const char* answer_name(box_answer answer) {
    for (const answer_entry& a : answers) {
        if (a.answer == answer)
            return a.name.data();
    }
    return "?";
}

}  // namespace tavrin
