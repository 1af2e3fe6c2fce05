#pragma once
// Every outgoing frame passes through hex text ("%02x " per byte) and is parsed back
// into a bounded binary buffer before it is handed to the ConMon send.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavrin {

constexpr size_t hex_binary_capacity = 1448;
using hex_binary_buffer = std::array<uint8_t, hex_binary_capacity>;

enum class hex_status {
    ok,
    empty,            // no tokens at all
    too_many_tokens,  // more tokens than the binary buffer holds; nothing was kept
};

// Two lowercase hex digits and one blank per byte.
std::string format_hex_text(const uint8_t* bytes, size_t size);
// Appends to `out` without reallocating when it has room (3 * size more bytes).
void append_hex_text(std::string& out, const uint8_t* bytes, size_t size);

// Splits at blanks and stores the low 8 bits of each token's base-16 value. A token
// without leading hex digits counts as 0. On anything but ok, `size` is 0.
hex_status parse_hex_text(std::string_view text, hex_binary_buffer& out, size_t& size);

}  // namespace tavrin

namespace tavrin {

// What stops a hex text before it reaches the ConMon send.
enum class hex_send_check {
    ok,
    no_message_data,  // the text is empty
    gateway_name,     // addressed to "None" (any case): no gateway to send through
    too_many_tokens,  // more bytes than the binary buffer holds
    unreadable,       // no token at all
};

// The checks of a send in their order, then the parse into `body`.
hex_send_check prepare_hex_send(std::string_view device_name, std::string_view text,
                                hex_binary_buffer& body, size_t& size);

}  // namespace tavrin
