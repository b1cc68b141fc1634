// custovia::NotifyConfig: the notification rule a monitoring service applies
// for a computer (selected option, percentage and time thresholds).
#pragma once

#include <cstdint>
#include <string>

#include "tkl/JsonFwd.h"
#include "tkl/Object.h"

namespace custovia {

class TKL_API NotifyConfig : public tkl::Object {
public:
    NotifyConfig();
    NotifyConfig(const NotifyConfig& other) = default;
    NotifyConfig& operator=(const NotifyConfig& other) = default;
    ~NotifyConfig() override;

    // "notifyConfig: {id=1, option=1, value.Ref.Percent=10,
    // value.Ref.Seconds=300000}" (the stored milliseconds).
    std::string toString() const override;
    // Copies all four fields.
    virtual void assign(const NotifyConfig& other);
    // Back to id 1, option 1, 10 percent and 300000 ms.
    virtual void reset();
    // Resets, then reads "option", "valPercent" and "valSecond" as numbers;
    // "valSecond" travels in minutes and is stored in milliseconds. A missing
    // or mistyped member gives 0. "id" is not read. Never throws.
    virtual NotifyConfig& fromJson(const tkl::JsonObject& json);
    // "id", "option", "valPercent", "valSecond" (whole minutes, the rest
    // dropped), all JSON numbers.
    virtual tkl::JsonObject toJson() const;

    uint32_t id;
    uint32_t option;
    uint32_t valPercent;
    uint32_t valSecond;  // milliseconds, despite the name
};

}  // namespace custovia
