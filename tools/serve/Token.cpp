#include "serve/Token.h"

#include <algorithm>
#include <cctype>

namespace custovia {
namespace serve {

std::string bearerToken(const std::string& header) {
    const std::string scheme = "bearer ";
    if (header.size() <= scheme.size()) {
        return std::string();
    }
    for (std::size_t i = 0; i < scheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(header[i])) != scheme[i]) {
            return std::string();
        }
    }
    std::size_t first = header.find_first_not_of(' ', scheme.size());
    std::size_t last = header.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : header.substr(first, last - first + 1);
}

bool sameToken(const std::string& given, const std::string& expected) {
    // Every byte of the longer text is looked at, whatever differs first.
    std::size_t n = std::max(given.size(), expected.size());
    unsigned char diff = given.size() == expected.size() ? 0 : 1;
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char a = i < given.size() ? static_cast<unsigned char>(given[i]) : 0;
        unsigned char b = i < expected.size() ? static_cast<unsigned char>(expected[i]) : 0;
        diff |= static_cast<unsigned char>(a ^ b);
    }
    return diff == 0 && !expected.empty();
}

}  // namespace serve
}  // namespace custovia
