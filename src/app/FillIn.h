// Messages with arguments: the tables' texts hold "%s" where a value goes.
#pragma once

#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>

// The pattern with each "%s" replaced by the next of args (any range of
// strings); a "%s" past the last argument stays as it is.
template <typename Args> std::string FillIn(std::string_view pattern, const Args& args) {
    std::string out;
    auto next = std::begin(args);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's' &&
            next != std::end(args)) {
            out.append(*next++);
            ++i;
        } else {
            out.push_back(pattern[i]);
        }
    }
    return out;
}
