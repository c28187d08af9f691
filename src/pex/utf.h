#pragma once
// UTF-8 <-> UTF-16, one 16-bit unit at a time: a character of one to three
// bytes is one unit, longer sequences are rejected, surrogates pass through as
// three-byte sequences. Ranges are half-open.
#include <cstddef>
#include <string>

#include "platform/wide.h"

namespace kel {
namespace pex {

// Units the text converts to; raises InvalidSequence on an invalid or cut-off character.
std::size_t Utf8ToWide(const char* begin, const char* end);
// Units written; raises InvalidArgument, InvalidSequence or BufferOverflow.
std::size_t Utf8ToWide(const char* begin, const char* end, platform::WideChar* out_begin,
                       platform::WideChar* out_end);

// Bytes the text converts to.
std::size_t WideToUtf8(const platform::WideChar* begin, const platform::WideChar* end);
// Bytes written; raises InvalidArgument or BufferOverflow, never writes a character in part.
std::size_t WideToUtf8(const platform::WideChar* begin, const platform::WideChar* end,
                       char* out_begin, char* out_end);

// Replace the whole target; the text is validated before the target is touched.
platform::WideString& AssignUtf8ToWide(const char* bytes, std::size_t length,
                                       platform::WideString& target);
std::string& AssignWideToUtf8(const platform::WideChar* units, std::size_t count,
                              std::string& target);

namespace detail {
// Length cut to at most limit bytes without splitting a character.
std::size_t CutUtf8Length(const char* bytes, std::size_t length, std::size_t limit);
}  // namespace detail

}  // namespace pex
}  // namespace kel
