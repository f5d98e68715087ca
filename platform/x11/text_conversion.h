#pragma once
// Window titles come from other programs in whatever encoding they chose; the system holds UTF-8.
// These conversions never fail: bytes that cannot be read become U+FFFD.

#include <string>
#include <string_view>

namespace skorva::x11 {

// Copies valid UTF-8 unchanged and replaces each byte of a broken sequence (overlong forms, surrogates
// and code points above U+10FFFF included) with U+FFFD.
std::string repairUtf8(std::string_view bytes);

// ISO 8859-1, the encoding of the STRING property type.
std::string latin1ToUtf8(std::string_view bytes);

// COMPOUND_TEXT as far as titles use it: ASCII and Latin-1 halves, and UTF-8 segments (ESC % G ...
// ESC % @). Text in other designated character sets becomes U+FFFD, one per byte.
std::string compoundTextToUtf8(std::string_view bytes);

}  // namespace skorva::x11
