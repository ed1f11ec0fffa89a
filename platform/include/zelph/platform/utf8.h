// utf8.h
//
// The text encoding of paths and command-line arguments on this platform. The kernel takes
// any bytes as a file name, but the system hands paths on as text (API string fields, JSON
// documents, the Java class path), where only valid UTF-8 survives. A path that is not
// valid UTF-8 is therefore one the system cannot represent.
#pragma once

#include <cstddef>
#include <string_view>

namespace zelph::sys {

inline constexpr std::size_t kValidUtf8 = static_cast<std::size_t>(-1);

// The offset of the first byte that does not belong to a well-formed UTF-8 sequence, or
// kValidUtf8. Strict: overlong forms, surrogates (U+D800 to U+DFFF) and code points above
// U+10FFFF are invalid.
std::size_t FindInvalidUtf8(std::string_view text);

inline bool IsValidUtf8(std::string_view text) { return FindInvalidUtf8(text) == kValidUtf8; }

}  // namespace zelph::sys
