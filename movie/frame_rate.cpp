#include "movie/frame_rate.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

namespace skorva {

int frameRateFromText(const std::string& text) {
    // Blanks, tabs and line feeds count for nothing, wherever they stand.
    std::string number;
    for (const char c : text) {
        if (c != ' ' && c != '\t' && c != '\n') {
            number += c;
        }
    }
    // A sign, digits with at most one decimal point, then an exponent ("E" or "D") only where digits follow.
    std::string accepted;
    std::size_t i = 0;
    const auto digitAt = [&number](std::size_t at) {
        return at < number.size() && number[at] >= '0' && number[at] <= '9';
    };
    if (i < number.size() && (number[i] == '-' || number[i] == '+')) {
        if (number[i] == '-') {
            accepted += '-';
        }
        ++i;
    }
    bool digits = false;
    while (digitAt(i)) {
        accepted += number[i++];
        digits = true;
    }
    if (i < number.size() && number[i] == '.') {
        accepted += number[i++];
        while (digitAt(i)) {
            accepted += number[i++];
            digits = true;
        }
    }
    if (digits && i < number.size() && std::strchr("eEdD", number[i]) != nullptr) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < number.size() && (number[j] == '-' || number[j] == '+')) {
            exponent += number[j++];
        }
        if (digitAt(j)) {
            while (digitAt(j)) {
                exponent += number[j++];
            }
            accepted += exponent;
        }
    }
    double value = 0;
    if (digits) {
        // from_chars, unlike strtod, ignores the locale the toolkit may have set.
        const auto [end, error] = std::from_chars(accepted.data(), accepted.data() + accepted.size(), value);
        if (error == std::errc::result_out_of_range) {
            // Too small a magnitude is 0; too large is beyond either bound.
            const bool tiny = accepted.find("e-") != std::string::npos;
            value = tiny ? 0.0 : (accepted[0] == '-' ? -1.0 : 1e9);
        } else if (error != std::errc{}) {
            value = 0;
        }
    }
    const double rounded = std::nearbyint(value);  // the default rounding mode takes a half to even
    if (!(rounded >= 1)) {
        return 1;
    }
    return rounded > 30 ? 30 : static_cast<int>(rounded);
}

}  // namespace skorva
