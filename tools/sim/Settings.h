#pragma once
// The settings records the service keeps (per device: mail, dialer, shutdown;
// per computer: notification, product) with their members, defaults and the
// checks applied to what a client posts.

#include <QJsonObject>

#include <string>

namespace custovia {
namespace sim {

enum class SettingsKind { Mail, Dialer, Shutdown, Notify, Product };

// The record with its defaults; `id` is the device id (per-device records)
// or ignored (per-computer records, whose id is always 1).
QJsonObject defaultSettings(SettingsKind kind, const std::string& id);

// Builds the record to store from a posted object: every member of the
// record is taken from the post (a missing member becomes the empty text or
// 0, as the client's own reader would take it), unknown members are dropped,
// and the id is the record's own. Numbers must be JSON numbers or booleans
// in 0 .. 4294967295 and are stored as whole numbers; texts must be strings.
// False with a reason when a member has the wrong type or range.
bool normaliseSettings(SettingsKind kind, const std::string& id, const QJsonObject& posted,
                       QJsonObject* out, std::string* error);

}  // namespace sim
}  // namespace custovia
