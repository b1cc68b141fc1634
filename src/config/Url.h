// custovia::Url: the address of a monitoring service (scheme, host, port).
#pragma once

#include <cstdint>
#include <string>

#include "tkl/Object.h"

namespace custovia {

class TKL_API Url : public tkl::Object {
public:
    // http://localhost:4470
    Url();
    Url(const Url& other) = default;
    explicit Url(const char* text);
    explicit Url(const std::string& text);
    Url& operator=(const Url& other) = default;
    ~Url() override;

    // url="http://localhost:4470", host="localhost", port=4470, ssl=0
    std::string toString() const override;
    // Same as copyFrom().
    virtual void assign(const Url& other);
    // Both parse the text.
    virtual Url& operator=(const char* text);
    virtual Url& operator=(const std::string& text);
    // Back to http://localhost:4470.
    virtual void reset();
    // "http://" or "https://", the host, and ":<port>" unless the port is 80
    // or 0; empty when the host is empty.
    virtual std::string url() const;
    virtual void copyFrom(const Url& other);
    // Reads "[http://|https://]host[:port]" in any letter case; the host is
    // kept in lower case, a missing or unreadable port gives 80, an empty
    // text the defaults. Never fails.
    virtual void parse(const char* text);
    virtual void parse(const std::string& text);

    bool ssl;
    std::string host;
    uint32_t port;
};

}  // namespace custovia
