#pragma once

#include <string>
#include <string_view>

namespace ui {

// [any] The text with every byte sequence that is not well-formed UTF-8
// (overlong forms, surrogates, code points above U+10FFFF, cut sequences)
// replaced by U+FFFD. Cairo refuses such text by putting the context, or
// the shared scaled font, into a permanent error state.
std::string WellFormedUtf8(std::string_view text);

} // namespace ui
