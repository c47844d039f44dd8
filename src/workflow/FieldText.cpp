#include "workflow/FieldText.h"

#include <cstddef>
#include <limits>

bool ParseWholeNumber(std::string_view text, std::int32_t& value) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size()) {
        return false;
    }
    // Accumulate as a negative number so that INT32_MIN fits.
    constexpr std::int64_t lowest = std::numeric_limits<std::int32_t>::min();
    std::int64_t acc = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') {
            return false;
        }
        acc = acc * 10 - (c - '0');
        if (acc < lowest) {
            return false;
        }
    }
    if (!negative) {
        acc = -acc;
        if (acc > std::numeric_limits<std::int32_t>::max()) {
            return false;
        }
    }
    value = static_cast<std::int32_t>(acc);
    return true;
}

bool ParseWholeNumberIn(std::string_view text, std::int32_t lo, std::int32_t hi,
                        std::int32_t& value) {
    std::int32_t v = 0;
    if (!ParseWholeNumber(text, v) || v < lo || v > hi) {
        return false;
    }
    value = v;
    return true;
}
