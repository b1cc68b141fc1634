#include "cli/Arguments.h"

#include <algorithm>
#include <cctype>

#include "cli/Session.h"
#include "common/Status.h"

namespace custovia {
namespace cli {

namespace {

bool isNumber(const std::string& text) {
    return !text.empty() && text.size() <= 9 &&
           std::all_of(text.begin(), text.end(),
                       [](unsigned char c) { return std::isdigit(c) != 0; });
}

}  // namespace

Rgb parseColor(const std::string& text) {
    Rgb rgb;
    std::string t = tools::lowerAscii(text);
    auto bad = [&]() {
        return Failure("invalid colour \"" + text +
                           "\": expected #rrggbb, red,green,blue (0-255 each) or random",
                       kExitUsage);
    };
    if (t == "random") {
        rgb.random = true;
        return rgb;
    }
    if (t.size() == 7 && t[0] == '#' &&
        std::all_of(t.begin() + 1, t.end(), [](unsigned char c) { return std::isxdigit(c); })) {
        unsigned long v = std::stoul(t.substr(1), nullptr, 16);
        rgb.red = static_cast<int32_t>(v >> 16 & 0xff);
        rgb.green = static_cast<int32_t>(v >> 8 & 0xff);
        rgb.blue = static_cast<int32_t>(v & 0xff);
        return rgb;
    }
    int32_t parts[3];
    std::size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        std::size_t end = i < 2 ? t.find(',', at) : t.size();
        if (end == std::string::npos) {
            throw bad();
        }
        std::string part = t.substr(at, end - at);
        if (!isNumber(part) || std::stoi(part) > 255) {
            throw bad();
        }
        parts[i] = std::stoi(part);
        at = end + 1;
    }
    rgb.red = parts[0];
    rgb.green = parts[1];
    rgb.blue = parts[2];
    return rgb;
}

int32_t parseLineSense(const std::string& text) {
    static const char* const words[] = {"very-low", "low", "normal", "high", "very-high"};
    std::string t = tools::lowerAscii(text);
    for (int32_t i = 0; i < 5; ++i) {
        if (t == words[i] || t == std::to_string(i)) {
            return i;
        }
    }
    throw Failure("invalid line sensitivity \"" + text +
                      "\": expected 0 to 4, or very-low, low, normal, high, very-high",
                  kExitUsage);
}

}  // namespace cli
}  // namespace custovia
