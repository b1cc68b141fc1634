// Reading a JSON text into an object and writing one back compactly, as the
// service's answers and the request bodies look.
#pragma once

#include <string>

#include "tkl/Json.h"

inline tkl::JsonObject parse(const std::string& text) {
    tkl::JsonDocument document;
    document.fromJson(text);
    return document.object();
}

inline std::string compact(const tkl::JsonObject& json) {
    return tkl::JsonDocument(json).toJson(false);
}
