#include "platform/x11/text_conversion.h"

#include <cstdint>

namespace skorva::x11 {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

void appendCodePoint(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Length of the valid UTF-8 sequence starting at `i`, or 0 when the byte there does not start one.
std::size_t validSequenceLength(std::string_view s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(s[k]); };
    const std::uint8_t lead = byte(i);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    std::uint8_t low = 0x80;  // the second byte's range, narrowed to exclude overlong forms and surrogates
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) {
            low = 0xA0;
        } else if (lead == 0xED) {
            high = 0x9F;
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) {
            low = 0x90;
        } else if (lead == 0xF4) {
            high = 0x8F;
        }
    } else {
        return 0;
    }
    if (i + length > s.size()) {
        return 0;
    }
    if (byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string repairUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t length = validSequenceLength(bytes, i);
        if (length == 0) {
            out += kReplacement;
            ++i;
        } else {
            out.append(bytes.substr(i, length));
            i += length;
        }
    }
    return out;
}

std::string latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        appendCodePoint(out, static_cast<std::uint8_t>(c));
    }
    return out;
}

std::string compoundTextToUtf8(std::string_view bytes) {
    // What the left (GL, 0x20-0x7F) and right (GR, 0xA0-0xFF) halves currently hold.
    enum class Set { Ascii, Latin1Right, Unknown };
    Set left = Set::Ascii;
    Set right = Set::Latin1Right;
    std::string out;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<std::uint8_t>(bytes[i]);
        if (c == 0x1B) {
            const std::string_view rest = bytes.substr(i);
            if (rest.starts_with("\x1B%G")) {
                // A UTF-8 segment runs to ESC % @ or to the end.
                const std::size_t start = i + 3;
                std::size_t end = bytes.find("\x1B%@", start);
                if (end == std::string_view::npos) {
                    end = bytes.size();
                }
                out += repairUtf8(bytes.substr(start, end - start));
                i = end == bytes.size() ? end : end + 3;
                continue;
            }
            if (rest.starts_with("\x1B(B")) {
                left = Set::Ascii;
                i += 3;
                continue;
            }
            if (rest.starts_with("\x1B-A")) {
                right = Set::Latin1Right;
                i += 3;
                continue;
            }
            // Another designation: skip its intermediate bytes (0x20-0x2F) and its final byte, and
            // replace the text it introduces.
            std::size_t k = i + 1;
            bool toRight = false;
            bool toLeft = false;
            while (k < bytes.size() && static_cast<std::uint8_t>(bytes[k]) >= 0x20 &&
                   static_cast<std::uint8_t>(bytes[k]) <= 0x2F) {
                const char intermediate = bytes[k];
                toLeft = toLeft || intermediate == '(' || intermediate == '$';
                toRight = toRight || intermediate == ')' || intermediate == '-' || intermediate == '*';
                ++k;
            }
            if (toRight) {
                right = Set::Unknown;
            } else if (toLeft) {
                left = Set::Unknown;
            }
            i = k < bytes.size() ? k + 1 : k;
            continue;
        }
        if (c == '\n' || c == '\t') {
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x80) {
            if (left == Set::Ascii) {
                out += static_cast<char>(c);
            } else {
                out += kReplacement;
            }
        } else if (c >= 0xA0) {
            if (right == Set::Latin1Right) {
                appendCodePoint(out, c);
            } else {
                out += kReplacement;
            }
        } else {
            out += kReplacement;
        }
        ++i;
    }
    return out;
}

}  // namespace skorva::x11
