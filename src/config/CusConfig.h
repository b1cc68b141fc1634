// custovia::CusConfig: application-wide settings a monitoring service hands
// to its clients (identifier, detection setting, theme and style).
#pragma once

#include <cstdint>
#include <string>

#include "tkl/JsonFwd.h"
#include "tkl/Object.h"

namespace custovia {

class TKL_API CusConfig : public tkl::Object {
public:
    CusConfig();
    CusConfig(const CusConfig& other) = default;
    CusConfig& operator=(const CusConfig& other) = default;
    ~CusConfig() override;

    // "cusConfig: {id=1, detect=1, theme=1, style=2}"
    std::string toString() const override;
    // Copies all four fields.
    virtual void assign(const CusConfig& other);
    // Back to id 1, detect 1, theme 1, style 2.
    virtual void reset();
    // Resets, then reads "detect", "theme" and "style" as numbers; a missing
    // or mistyped member gives 0, not the default. "id" is not read: the
    // record's identifier is always 1. Never throws.
    virtual CusConfig& fromJson(const tkl::JsonObject& json);
    // "id", "detect", "theme", "style", each a JSON number.
    virtual tkl::JsonObject toJson() const;

    uint32_t id;
    uint32_t detect;
    uint32_t theme;
    uint32_t style;
};

}  // namespace custovia
