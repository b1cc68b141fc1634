#include "config/Url.h"

#include <limits>

#include "tkl/String.h"

namespace custovia {

namespace {

// The decimal digits at `start`; 80 when there are none or they exceed 32 bits.
uint32_t portAt(const std::string& text, std::size_t start) {
    std::size_t end = text.find_first_not_of("0123456789", start);
    std::string digits = text.substr(start, end == std::string::npos ? end : end - start);
    if (digits.empty()) {
        return 80;
    }
    uint64_t value = 0;
    for (char digit : digits) {
        value = value * 10 + static_cast<uint64_t>(digit - '0');
        if (value > std::numeric_limits<uint32_t>::max()) {
            return 80;
        }
    }
    return static_cast<uint32_t>(value);
}

}  // namespace

Url::Url() {
    reset();
}

Url::Url(const char* text) {
    parse(text);
}

Url::Url(const std::string& text) {
    parse(text);
}

Url::~Url() = default;

std::string Url::toString() const {
    return "url=\"" + url() + "\", host=\"" + host + "\", port=" + std::to_string(port) +
           ", ssl=" + (ssl ? "1" : "0");
}

void Url::assign(const Url& other) {
    copyFrom(other);
}

Url& Url::operator=(const char* text) {
    parse(text);
    return *this;
}

Url& Url::operator=(const std::string& text) {
    parse(text);
    return *this;
}

void Url::reset() {
    ssl = false;
    host = "localhost";
    port = 4470;
}

std::string Url::url() const {
    if (host.empty()) {
        return std::string();
    }
    std::string text = (ssl ? "https://" : "http://") + host;
    if (port != 80 && port != 0) {
        text += ":" + std::to_string(port);
    }
    return text;
}

void Url::copyFrom(const Url& other) {
    host = other.host;
    port = other.port;
    ssl = other.ssl;
}

void Url::parse(const char* text) {
    parse(std::string(text != nullptr ? text : ""));
}

void Url::parse(const std::string& text) {
    reset();
    if (text.empty()) {
        return;
    }
    std::string lower = tkl::String::toLower(text);
    std::size_t start = 0;
    std::size_t scheme = lower.find("http://");
    if (scheme != std::string::npos) {
        start = scheme + 7;
    } else if ((scheme = lower.find("https://")) != std::string::npos) {
        start = scheme + 8;
        ssl = true;
    }
    if (start >= lower.size()) {
        return;
    }
    std::size_t colon = lower.find(':', start);
    port = colon != std::string::npos && colon + 1 < lower.size() ? portAt(lower, colon + 1) : 80;
    host = lower.substr(start, colon == std::string::npos ? colon : colon - start);
}

}  // namespace custovia
