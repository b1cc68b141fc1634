// custovia::Computer: one computer that runs the monitoring service, as the
// service describes it (versions, host name, address, port, up time).
#pragma once

#include <cstdint>
#include <string>

#include "tkl/JsonFwd.h"
#include "tkl/Object.h"

namespace custovia {

class TKL_API Computer : public tkl::Object {
public:
    Computer();
    Computer(const Computer& other);
    Computer& operator=(const Computer& other);
    ~Computer() override;

    // One line, "<unknown>" for every empty text and zero number.
    std::string toString() const override;
    virtual Computer& assign(const Computer& other);
    // All texts empty, port and upTime 0.
    virtual void clear();
    // Nothing known: all texts empty and both numbers 0.
    virtual bool isEmpty() const;
    // Clears, then reads every member; missing ones stay cleared.
    virtual Computer& fromJson(const tkl::JsonObject& json);
    // Only the members that are known (non-empty texts, non-zero numbers).
    virtual tkl::JsonObject toJson() const;

    std::string monVersion;  // version of the monitoring service
    std::string apiVersion;  // version of its REST interface
    std::string osVersion;   // operating system of the computer
    std::string hostname;
    std::string ip;  // network address; identifies the computer of a host
    uint32_t port;   // port of the service; 0 = unknown
    int64_t upTime;  // up time as reported by the service; 0 = unknown
};

}  // namespace custovia
