#pragma once
// What the amplifier accepts as its Dante name and as its location text, and the
// location's conversion between the 16 bytes it keeps and the text a person edits.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavrin {

// A name a rename may give: 1 to 16 characters (the rename field, control 1288,
// takes 16) of A-Z, a-z, 0-9 and "-", not starting or ending with a hyphen. The
// window's rename, tavrin-cli rename and their error texts all follow this rule.
constexpr size_t max_rename_chars = 16;
// The location: 16 single-byte characters, zero-padded.
constexpr size_t location_size = 16;
using location_field = std::array<uint8_t, location_size>;

// Empty when `name` (UTF-8) can be given; otherwise why not, for an error message.
std::string device_name_problem(const std::string& name);

// Device names compare without regard to letter case, as DNS-SD names do: a device
// that takes a name another one has in any case collides with it on the network.
bool same_device_name(const std::string& a, const std::string& b);
// The name among `names` that `new_name` collides with, other than `own` (the device
// being renamed, which may change the case of its own name); empty when none.
std::string name_conflict(const std::string& new_name, const std::string& own,
                          const std::vector<std::string>& names);
// "a device named Amp-1 is already on the network".
std::string name_taken_text(const std::string& other);

// The location as the amplifier keeps it: each character one byte (Latin-1), so that
// the text reads back as it was typed. UTF-8 in; nothing when the text has more than
// 16 characters, a character beyond Latin-1, a control character, or is not UTF-8.
std::optional<std::string> location_bytes_of(const std::string& text);
// Empty when the text fits; otherwise why not.
std::string location_problem(const std::string& text);

// The location bytes as text (UTF-8), up to the first zero byte.
std::string location_text_of(const location_field& bytes);

}  // namespace tavrin
