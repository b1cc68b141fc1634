// Values of the device subcommands read from their words, before anything is
// sent; a Failure with kExitUsage on bad input.
#pragma once

#include <cstdint>
#include <string>

namespace custovia {
namespace cli {

// A LED colour: "#rrggbb", "red,green,blue" (0-255 each) or "random".
struct Rgb {
    int32_t red = 0, green = 0, blue = 0;
    bool random = false;
};
Rgb parseColor(const std::string& text);
// Line sensitivity: 0 to 4, or very-low, low, normal, high, very-high.
int32_t parseLineSense(const std::string& text);

}  // namespace cli
}  // namespace custovia
