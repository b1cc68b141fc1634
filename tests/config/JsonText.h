// Reads a JSON text into an object, as the service's answers arrive.
#pragma once

#include "tkl/Json.h"

inline tkl::JsonObject parse(const char* text) {
    tkl::JsonDocument document;
    document.fromJson(text);
    return document.object();
}
