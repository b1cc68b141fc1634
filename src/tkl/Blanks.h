// Byte-wise trimming of ASCII white space, for texts whose encoding is not
// known (system error messages in the local code page, HTTP header lines):
// they must come back byte for byte, not through a Unicode conversion.
// Internal to the library.
#pragma once

#include <string>

namespace tkl {

// `text` without the spaces, tabs and line ends at either end.
inline std::string trimBlanks(const std::string& text) {
    const char* blanks = " \t\r\n\f\v";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The same for a C text; a null text counts as empty.
inline std::string trimBlanks(const char* text) {
    return trimBlanks(std::string(text ? text : ""));
}

}  // namespace tkl
