#pragma once

// Case folding of the letters a to z only, so that names compare the same in every locale.

#include <algorithm>
#include <string>
#include <string_view>

namespace brenvik::platform {

inline char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string upperAscii(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](char c) { return upperAscii(c); });
    return result;
}

inline bool equalAsciiFolded(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return upperAscii(x) == upperAscii(y);
           });
}

} // namespace brenvik::platform
