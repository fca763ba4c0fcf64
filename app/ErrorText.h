#pragma once
// The text of the error box: how every failure reaches the user.

#include <string>
#include <string_view>

namespace quillet {

// The message with "." appended when it is not empty and its last byte
// (compared unsigned) has a code above that of "." (0x2E); so a message ending
// in a letter or digit gets a period, one ending in ".", "!", ")", a blank or
// a line break does not.
std::string ErrorBoxText(std::string_view message);

}  // namespace quillet
