#pragma once

#include <cstddef>

namespace plugin::vst3 {

// Copies of UTF-8 text into the fixed-size character fields of the SDK's
// factory and class records. Every byte of the field is written: the text,
// then zeros to the end. Text that does not fit is cut at a character
// boundary so that one zero always terminates the field and no UTF-8
// sequence is left half written. A null source gives an all-zero field.

// [any]
void CopyUtf8Field(char* field, std::size_t capacity, const char* text) noexcept;

// The same text converted to UTF-16 (invalid UTF-8 bytes become U+FFFD);
// a surrogate pair is never split.
// [any]
void CopyUtf16Field(char16_t* field, std::size_t capacity, const char* text) noexcept;

} // namespace plugin::vst3
