// Reading the whole numbers typed into dialog text fields.
#pragma once

#include <cstdint>
#include <string_view>

// A field holds a whole number when its text is optional leading blanks
// (code 32), an optional sign and at least one decimal digit, nothing else,
// and the value fits a 32-bit signed integer. Anything else is not a number;
// callers report it with the same message as a value out of range.
bool ParseWholeNumber(std::string_view text, std::int32_t& value);

// ParseWholeNumber and lo <= value <= hi.
bool ParseWholeNumberIn(std::string_view text, std::int32_t lo, std::int32_t hi,
                        std::int32_t& value);
