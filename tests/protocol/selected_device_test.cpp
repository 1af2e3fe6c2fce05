#include <gtest/gtest.h>

#include "platform/utf8.h"
#include "protocol/selected_device.h"

namespace tavrin {
namespace {

// The selected name keeps 31 characters whatever their width; the copy that answers
// are matched against keeps what fits 31 bytes and never half a character.
TEST(SelectedDevice, TheNameIsCutByCharacters) {
    selected_device device;
    std::string wide;
    for (int i = 0; i < 40; ++i)
        wide += "\xc3\xa9";
    device.set_name(wide);
    EXPECT_EQ(device.name(), first_chars(wide, 31));
    EXPECT_EQ(device.name().size(), 62u);
    device.renew_copy();
    EXPECT_EQ(device.copy(), first_chars(wide, 15));

    device.set_name(std::string(40, 'A'));
    device.renew_copy();
    EXPECT_EQ(device.name(), std::string(31, 'A'));
    EXPECT_TRUE(device.matches_copy(std::string(31, 'A').c_str()));
}

}  // namespace
}  // namespace tavrin
