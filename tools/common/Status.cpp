#include "common/Status.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace custovia {
namespace tools {

std::string lowerAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string statusWords(int32_t status) {
    switch (status) {
        case -1:
            return "failed";
        case -201:
        case -202:
            return "invalid argument";
        case -203:
            return "not implemented";
        case -205:
            return "illegal state";
        case -300:
            return "out of memory";
        case -302:
            return "not found";
        case -305:
            return "system error";
        case -314:
            return "timed out";
        case -320:
            return "service error";
        case -3200:
            return "transfer failed";
        default:
            return "error";
    }
}

std::string statusMessage(int32_t status, const std::string& what) {
    return statusWords(status) + ": " + what + " (status " + std::to_string(status) + ")";
}

std::string hostKey(const std::string& url) {
    // The library keys a service by the host part of "[scheme://]host[:port]",
    // in lower case; the scheme and the port are not part of the key.
    std::string text = url;
    std::string low = lowerAscii(text);
    for (const char* scheme : {"http://", "https://"}) {
        if (low.rfind(scheme, 0) == 0) {
            text = text.substr(std::string(scheme).size());
            break;
        }
    }
    if (text.find("://") != std::string::npos) {
        throw std::invalid_argument("invalid address \"" + url +
                                    "\": only http:// and https:// are served");
    }
    std::string host = lowerAscii(text.substr(0, text.find_first_of(":/")));
    if (host.empty() || host.find_first_of(" \t@?#") != std::string::npos) {
        throw std::invalid_argument("invalid address \"" + url + "\": expected http://HOST[:PORT]");
    }
    return host;
}

int logLevel(const std::string& name) {
    static const char* const names[] = {"trace", "debug", "info", "warning", "error", "fatal"};
    for (int i = 0; i < 6; ++i) {
        if (lowerAscii(name) == names[i]) {
            return i;
        }
    }
    return -1;
}

}  // namespace tools
}  // namespace custovia
