#pragma once
// The scripts of a scripted session (`tavrin-config --play FILE`): one verb per line,
// read into steps before the window runs any of them, so that a mistyped line stops
// the session before it has done anything.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/question.h"

namespace tavrin {

enum class play_verb {
    tab,
    click,
    type,
    key,
    focus,
    choose,
    slide,
    press,
    move,
    release,
    drag,
    answer,
    file,
    discover,
    connect,
    wait,
    wait_for,
    expect,
    expect_log,
    expect_lamp,
    expect_box,
    shot,
    shot_window,
};

// How a trackbar is moved (see docs/play.md for the notifications each brings).
enum class slide_kind { drag, line, page, thumb, track, end };

enum class play_key {
    enter,
    tab,
    backspace,
    escape,
    del,
    up,
    down,
    left,
    right,
    page_up,
    page_down,
    home,
    end,
};

enum class lamp_state { red, green, yellow };

// One coordinate: page pixels, or a frequency or a level the page's graph maps.
struct play_coord {
    enum class unit { pixel, hertz, decibel };
    unit kind = unit::pixel;
    double value = 0;
    bool operator==(const play_coord&) const = default;
};

struct play_point {
    play_coord x, y;
    bool operator==(const play_point&) const = default;
};

struct play_step {
    int line = 0;        // 1-based
    std::string source;  // the line as written, without its end of line
    play_verb verb = play_verb::wait;

    std::string id;    // control id, digits only ("1023")
    std::string text;  // caption, typed text, expected text, entry, path, name
    bool has_text = false;
    int number = 0;  // slide position, wait time, drag steps
    std::optional<int> timeout_ms;
    std::optional<int> entry_index;  // choose: by index; neither this nor has_text: none
    slide_kind slide = slide_kind::drag;
    play_key key = play_key::enter;
    box_answer answer = box_answer::ok;
    lamp_state lamp = lamp_state::red;
    std::vector<play_point> points;  // press, move, release: one; drag: two
};

struct play_script {
    std::string name;  // for messages: the file as given, or "tour"
    std::vector<play_step> steps;
};

struct play_parse_error {
    int line = 0;
    std::string source;
    std::string message;
};

struct play_parse_result {
    play_script script;
    std::optional<play_parse_error> error;  // the first bad line; steps are then empty
};

constexpr int default_wait_for_ms = 5000;
constexpr int default_drag_steps = 10;

play_parse_result parse_play_script(std::string_view text, std::string name);

// "FILE:LINE: message: source" for a script error.
std::string describe(const play_parse_error& error, const std::string& name);

// The names a step's values are written with.
const char* key_name(play_key key);
const char* lamp_name(lamp_state lamp);
const char* answer_name(box_answer answer);

}  // namespace tavrin
