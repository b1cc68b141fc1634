#include "model/DeviceMailCfg.h"

#include <sstream>

#include "tkl/JsonRead.h"

namespace custovia {

using namespace tkl::jsonread;

const char* const DeviceMailCfg::defaultFrom = "noreply@custovia.com";

namespace {

void appendList(std::ostringstream& out, const char* label, const std::vector<std::string>& list,
                const char* close) {
    if (list.empty())
        return;
    out << label << ": {";
    for (size_t i = 0; i < list.size(); ++i) {
        if (i > 0)
            out << ", ";
        out << list[i];
    }
    out << close;
}

// Writes a 0-or-1 setting; any other value is not valid and is left out.
void insertFlag(tkl::JsonObject& json, const char* key, uint32_t value) {
    if (value <= 1)
        json.insert(key, tkl::JsonValue(value));
}

void insertText(tkl::JsonObject& json, const char* key, const std::string& value) {
    if (!value.empty())
        json.insert(key, tkl::JsonValue(value));
}

}  // namespace

DeviceMailCfg::DeviceMailCfg() {
    clear();
}

DeviceMailCfg::DeviceMailCfg(const DeviceMailCfg& other) : tkl::Object(other) {
    assign(other);
}

DeviceMailCfg& DeviceMailCfg::operator=(const DeviceMailCfg& other) {
    return assign(other);
}

DeviceMailCfg::~DeviceMailCfg() = default;

std::string DeviceMailCfg::toString() const {
    std::ostringstream out;
    out << "mail: {id=" << id << ", server=" << server << ", port=" << port << ", from=" << from
        << ", auth=" << auth << ", username=" << username
        << ", password=" << std::string(password.size(), '*') << ", secure=" << secure
        << ", test=" << test << ", enable=" << enable << ", ";
    appendList(out, "to", to, "}, ");
    appendList(out, "cc", cc, "}, ");
    appendList(out, "bcc", bcc, "}");
    out << "}";
    return out.str();
}

DeviceMailCfg& DeviceMailCfg::assign(const DeviceMailCfg& other) {
    id = other.id;
    server = other.server;
    port = other.port;
    from = other.from;
    auth = other.auth;
    username = other.username;
    password = other.password;
    secure = other.secure;
    test = other.test;
    enable = other.enable;
    to = other.to;
    cc = other.cc;
    bcc = other.bcc;
    return *this;
}

void DeviceMailCfg::clear() {
    id.clear();
    server.clear();
    port = 587;
    from = defaultFrom;
    auth = 0;
    username.clear();
    password.clear();
    secure = 1;
    test = 0;
    enable = 1;
    to.clear();
    cc.clear();
    bcc.clear();
}

DeviceMailCfg& DeviceMailCfg::fromJson(const tkl::JsonObject& json) {
    clear();
    id = toText(json, "id");
    server = toText(json, "server");
    port = toUInt32(json, "port");
    from = toText(json, "from");
    auth = toUInt32(json, "auth");
    username = toText(json, "username");
    password = toText(json, "password");
    secure = toUInt32(json, "secure");
    test = toUInt32(json, "test");
    enable = toUInt32(json, "enable");
    for (const char* key : {"to1", "to2", "to3", "to4", "to5"})
        to.push_back(toText(json, key));
    cc.push_back(toText(json, "cc"));
    bcc.push_back(toText(json, "bcc"));
    return *this;
}

tkl::JsonObject DeviceMailCfg::toJson() const {
    tkl::JsonObject json;
    insertText(json, "id", id);
    insertText(json, "server", server);
    insertText(json, "from", from);
    insertText(json, "username", username);
    insertText(json, "password", password);
    if (port < 65536)
        json.insert("port", tkl::JsonValue(port));
    insertFlag(json, "auth", auth);
    insertFlag(json, "secure", secure);
    insertFlag(json, "test", test);
    insertFlag(json, "enable", enable);
    // A list of fewer than five recipients writes the ones it has; entries
    // after the fifth have no member to go to.
    static const char* const toKeys[] = {"to1", "to2", "to3", "to4", "to5"};
    for (size_t i = 0; i < to.size() && i < 5; ++i)
        insertText(json, toKeys[i], to[i]);
    if (!cc.empty())
        insertText(json, "cc", cc.front());
    if (!bcc.empty())
        insertText(json, "bcc", bcc.front());
    return json;
}

}  // namespace custovia
