#include "cli/Terminal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <ostream>

#include "cli/Console.h"

namespace custovia {
namespace cli {

bool colorWanted(ColorMode mode, int fd) {
    if (mode != ColorMode::Auto) {
        return mode == ColorMode::Always;
    }
    const char* noColor = std::getenv("NO_COLOR");
    if (noColor != nullptr && *noColor != '\0') {
        return false;
    }
    const char* term = std::getenv("TERM");
    if (term != nullptr && std::strcmp(term, "dumb") == 0) {
        return false;
    }
    return isTerminal(fd);
}

std::string paint(const std::string& text, const char* code, bool on) {
    if (!on || code == nullptr || text.empty()) {
        return text;
    }
    return "\033[" + std::string(code) + "m" + text + "\033[0m";
}

std::size_t displayWidth(const std::string& text) {
    std::size_t n = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) {
            ++n;
        }
    }
    return n;
}

Table::Table(std::vector<std::string> headers) : headers_(std::move(headers)) {}

void Table::add(std::vector<Cell> row) {
    row.resize(headers_.size());
    rows_.push_back(std::move(row));
}

void Table::print(std::ostream& out, bool color) const {
    std::vector<std::size_t> width(headers_.size(), 0);
    for (std::size_t i = 0; i < headers_.size(); ++i) {
        width[i] = displayWidth(headers_[i]);
        for (const auto& row : rows_) {
            width[i] = std::max(width[i], displayWidth(row[i].text));
        }
    }
    // The last column is not padded, so lines carry no trailing blanks.
    auto line = [&](const std::vector<Cell>& cells, const char* headerColor) {
        std::string text;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const Cell& c = cells[i];
            std::string pad(width[i] - displayWidth(c.text), ' ');
            std::string body = paint(c.text, headerColor ? headerColor : c.color, color);
            bool last = i + 1 == cells.size();
            if (c.right) {
                text += pad + body;
            } else {
                text += body + (last ? std::string() : pad);
            }
            if (!last) {
                text += "  ";
            }
        }
        while (!text.empty() && text.back() == ' ') {
            text.pop_back();
        }
        out << text << '\n';
    };
    std::vector<Cell> head;
    for (std::size_t i = 0; i < headers_.size(); ++i) {
        bool right = !rows_.empty() && rows_.front()[i].right;
        head.emplace_back(headers_[i], nullptr, right);
    }
    line(head, sgr::kBold);
    for (const auto& row : rows_) {
        line(row, nullptr);
    }
}

Spinner::Spinner(bool enabled) : enabled_(enabled && isTerminal(kStderr)) {}

Spinner::~Spinner() {
    clear();
}

void Spinner::tick(const std::string& message) {
    if (!enabled_) {
        return;
    }
    // Ten frames a second, however often it is called.
    auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - last_ < std::chrono::milliseconds(100)) {
        return;
    }
    last_ = now;
    static const char frames[] = {'|', '/', '-', '\\'};
    std::fprintf(stderr, "\r\033[K%c %s", frames[frame_++ % 4], message.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void Spinner::clear() {
    if (drawn_) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        drawn_ = false;
    }
}

std::string durationText(int64_t ms) {
    if (ms < 0) {
        return "-";
    }
    int64_t s = ms / 1000;
    char buf[32];
    if (s < 60) {
        std::snprintf(buf, sizeof buf, "%llds", static_cast<long long>(s));
    } else if (s < 3600) {
        std::snprintf(buf, sizeof buf, "%lldm%02llds", static_cast<long long>(s / 60),
                      static_cast<long long>(s % 60));
    } else if (s < 86400) {
        std::snprintf(buf, sizeof buf, "%lldh%02lldm", static_cast<long long>(s / 3600),
                      static_cast<long long>(s / 60 % 60));
    } else {
        std::snprintf(buf, sizeof buf, "%lldd%02lldh", static_cast<long long>(s / 86400),
                      static_cast<long long>(s / 3600 % 24));
    }
    return buf;
}

std::string countdownText(int64_t ms) {
    if (ms < 0) {
        return "-";
    }
    // Rounded up: a countdown shows 0:00 only when it has run out.
    int64_t s = (ms + 999) / 1000;
    char buf[32];
    if (s < 3600) {
        std::snprintf(buf, sizeof buf, "%lld:%02lld", static_cast<long long>(s / 60),
                      static_cast<long long>(s % 60));
    } else {
        std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                      static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
    }
    return buf;
}

std::string number(double value, int decimals, const char* unit, bool known) {
    if (!known || !std::isfinite(value)) {
        return "-";
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f%s", decimals, value, unit);
    return buf;
}

}  // namespace cli
}  // namespace custovia
