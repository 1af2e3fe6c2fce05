// A queued answer is taken only by a box that has a button for it.
#include <gtest/gtest.h>

#include "play/play_answers_qt.h"

namespace tavrin {
namespace {

TEST(PlayAnswers, AnAnswerFitsOnlyABoxWithItsButton) {
    using a = box_answer;
    using b = box_buttons;
    struct fit {
        a answer;
        b buttons;
        bool fits;
    };
    const fit cases[] = {
        {a::ok, b::ok, true},          {a::cancel, b::ok, false},
        {a::yes, b::ok, false},        {a::no, b::ok, false},
        {a::ok, b::ok_cancel, true},   {a::cancel, b::ok_cancel, true},
        {a::yes, b::ok_cancel, false}, {a::no, b::ok_cancel, false},
        {a::ok, b::yes_no, false},     {a::cancel, b::yes_no, false},
        {a::yes, b::yes_no, true},     {a::no, b::yes_no, true},
    };
    for (const fit& c : cases)
        EXPECT_EQ(answer_fits(c.answer, c.buttons), c.fits)
            << answer_name(c.answer) << " for " << buttons_name(c.buttons);
}

}  // namespace
}  // namespace tavrin
