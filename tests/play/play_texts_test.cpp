// Texts in a session's messages are written so that the script reader reads them back
// as they were: a message can be pasted into the script.
#include <gtest/gtest.h>

#include "play/play_script.h"
#include "play/play_texts.h"

namespace tavrin {
namespace {

TEST(PlayTexts, QuotedTextsReadBackAsTheyWere) {
    const std::string texts[] = {"",           " lead and trail ", "say \"hi\"", "back\\slash",
                                 "two\nlines", "tab\there",        "a # b",      "\\n as written"};
    for (const std::string& text : texts) {
        const std::string line = "expect 1 " + in_quotes(text);
        const play_parse_result r = parse_play_script(line, "t.play");
        ASSERT_FALSE(r.error) << line << ": " << r.error->message;
        ASSERT_EQ(r.script.steps.size(), 1u) << line;
        EXPECT_EQ(r.script.steps.front().text, text) << line;
    }
    EXPECT_EQ(joined({}), "none");
    EXPECT_EQ(joined({QStringLiteral("20 Hz"), QStringLiteral("a\"b")}), "\"20 Hz\", \"a\\\"b\"");
}

}  // namespace
}  // namespace tavrin
