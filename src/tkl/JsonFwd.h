// Declarations of the JSON document classes for headers that only name them
// (a record's toJson and fromJson): such a header stays free of Qt, and the
// .cpp files that build or read JSON include tkl/Json.h.
#pragma once

namespace tkl {
class JsonValue;
class JsonObject;
class JsonArray;
class JsonDocument;
}  // namespace tkl
