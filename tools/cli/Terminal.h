// Terminal output of the custovia tool: colour decisions, aligned tables, the
// wait indicator and the short texts for durations and measurements.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace custovia {
namespace cli {

enum class ColorMode { Auto, Always, Never };

// Colour is used with Always, or with Auto when `fd` is a terminal, NO_COLOR
// is unset or empty, and TERM is not "dumb".
bool colorWanted(ColorMode mode, int fd);

// SGR codes the tool uses.
namespace sgr {
constexpr const char* kGreen = "32";
constexpr const char* kYellow = "33";
constexpr const char* kRed = "1;31";
constexpr const char* kGrey = "2";
constexpr const char* kBold = "1";
}  // namespace sgr

// `text` wrapped in the escape sequence `code` when `on`, else unchanged.
std::string paint(const std::string& text, const char* code, bool on);

// One table cell: its text, an optional colour, and right alignment for numbers.
struct Cell {
    Cell(std::string t = std::string(), const char* c = nullptr, bool r = false)
        : text(std::move(t)), color(c), right(r) {}
    std::string text;
    const char* color;
    bool right;
};

// A table whose columns are as wide as their widest cell (counted in
// characters, so UTF-8 names line up), two blanks apart.
class Table {
public:
    explicit Table(std::vector<std::string> headers);
    void add(std::vector<Cell> row);
    bool empty() const { return rows_.empty(); }
    void print(std::ostream& out, bool color) const;

private:
    std::vector<std::string> headers_;
    std::vector<std::vector<Cell>> rows_;
};

// Characters in a UTF-8 text (continuation bytes not counted).
std::size_t displayWidth(const std::string& text);

// A turning bar with a message on standard error while something is awaited;
// does nothing when standard error is not a terminal.
class Spinner {
public:
    explicit Spinner(bool enabled);
    ~Spinner();
    // Redraws with the next frame.
    void tick(const std::string& message);
    // Erases the line.
    void clear();

private:
    bool enabled_;
    bool drawn_ = false;
    unsigned frame_ = 0;
    std::chrono::steady_clock::time_point last_;
};

// "45s", "3m05s", "2h07m", "4d03h"; "-" for a negative value.
std::string durationText(int64_t ms);
// "0:45", "12:03", "1:02:03" for a countdown.
std::string countdownText(int64_t ms);
// A value with `decimals` places and a unit, or "-" when `known` is false.
std::string number(double value, int decimals, const char* unit = "", bool known = true);

}  // namespace cli
}  // namespace custovia
