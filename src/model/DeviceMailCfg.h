// custovia::DeviceMailCfg: e-mail notification settings of one device (SMTP
// server, account, recipients).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tkl/JsonFwd.h"
#include "tkl/Object.h"

namespace custovia {

class TKL_API DeviceMailCfg : public tkl::Object {
public:
    // Sender address used until the service reports another one.
    static const char* const defaultFrom;

    DeviceMailCfg();
    DeviceMailCfg(const DeviceMailCfg& other);
    DeviceMailCfg& operator=(const DeviceMailCfg& other);
    ~DeviceMailCfg() override;

    // "mail: {id=..., ..., password=******, ..., to: {...}, cc: {...}, bcc: {...}}".
    // The password shows as one '*' per character, never in clear.
    std::string toString() const override;
    virtual DeviceMailCfg& assign(const DeviceMailCfg& other);
    // Defaults: port 587, the no-reply sender, no login, secured, no test,
    // enabled; texts and recipient lists empty.
    virtual void clear();
    // Clears, then reads every member. "to1" to "to5" always give five `to`
    // entries (missing ones empty); "cc" and "bcc" one entry each.
    virtual DeviceMailCfg& fromJson(const tkl::JsonObject& json);
    // Only values that are set and valid: non-empty texts, a port below
    // 65536, 0-or-1 flags, and the non-empty ones of the first five `to`
    // entries and of the first `cc` and `bcc` entries.
    virtual tkl::JsonObject toJson() const;

    std::string id;
    std::string server;            // SMTP server name
    uint32_t port;                 // SMTP port
    std::string from;              // sender address
    uint32_t auth;                 // 0 or 1: log in to the server
    std::string username;          // account name
    std::string password;          // account password
    uint32_t secure;               // 0 or 1: secured connection
    uint32_t test;                 // 0 or 1: test mail requested
    uint32_t enable;               // 0 or 1: mail notification on
    std::vector<std::string> to;   // main recipients, at most five are sent
    std::vector<std::string> cc;   // copy recipient, the first is sent
    std::vector<std::string> bcc;  // blind copy recipient, the first is sent
};

}  // namespace custovia
