// Service address texts through custovia::Url.
#include <cstring>
#include <string>

#include "FuzzEntries.h"
#include "config/Url.h"

namespace custovia {
namespace fuzz {

void urlParse(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Url url(text);
    (void)url.toString();

    check(url.host.find(':') == std::string::npos, "host keeps a colon: " + url.host);
    for (char c : url.host) {
        check(c < 'A' || c > 'Z', "host not in lower case: " + url.host);
    }
    const std::string address = url.url();
    check(address.empty() == url.host.empty(), "address text and host disagree: " + address);

    // The pointer form reads up to the first zero byte, like any C text.
    if (std::memchr(data, 0, size) == nullptr) {
        Url fromPointer(text.c_str());
        check(fromPointer.host == url.host && fromPointer.port == url.port &&
                  fromPointer.ssl == url.ssl,
              "pointer and string forms parse differently");
    }

    // The address text of a parsed record parses back to the same record
    // (port 0 is written as no port, which reads as 80).
    if (!address.empty()) {
        Url again(address);
        const uint32_t port = url.port == 0 ? 80u : url.port;
        check(again.host == url.host && again.port == port && again.ssl == url.ssl,
              "address text does not parse back: " + address + " -> " + again.toString());
    }

    Url copy;
    copy.assign(url);
    check(copy.url() == address, "assign lost data");
    copy.reset();
    check(copy.url() == "http://localhost:4470", "reset does not give the defaults");
}

}  // namespace fuzz
}  // namespace custovia
