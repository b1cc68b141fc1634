// The subcommands that act on a unit: shutdown, discharge, mail test, delete,
// user texts, colour, line sensitivity, charger current.
#include <QJsonObject>

#include <functional>
#include <iterator>
#include <ostream>

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/View.h"

namespace custovia {
namespace cli {

using namespace tools;

namespace {

// Sends one device command and reports it. `done` is the sentence shown on
// success, `refused` what the service refused, `token` the command's JSON name.
int deviceCall(
    Session& session, const std::string& id, const std::string& done, const std::string& refused,
    const char* token, std::ostream& out,
    const std::function<int32_t(CustoviaHandle, const char*, const char*, const char*)>& call) {
    session.open();
    Host& host = session.hostForDevice(id);
    int32_t status = call(session.handle(), host.key.c_str(), session.computer(), id.c_str());
    if (status < 0) {
        // The library reports every refused command as "not found"; the device
        // is known here, so the service refused what was asked.
        if (status == -302) {
            throw Failure("rejected: the service refused to " + refused + " device " + id + " on " +
                          host.key + " (status -302)");
        }
        throw Failure(statusMessage(status, refused + " device " + id + " on " + host.key));
    }
    if (session.options().json) {
        QJsonObject o;
        o["ok"] = true;
        o["command"] = token;
        o["device"] = QString::fromStdString(id);
        o["host"] = QString::fromStdString(host.key);
        out << jsonText(o);
    } else {
        out << done << " (device " << id << " on " << host.key << ")\n";
    }
    return kExitOk;
}

}  // namespace

int runCommand(Session& session, Command command, const std::string& id, std::ostream& out) {
    using Call = int32_t(CUSTOVIA_CALL*)(CustoviaHandle, const char*, const char*, const char*);
    // The sentence on success, what the service may refuse, the JSON name.
    struct Row {
        Command command;
        const char* done;
        const char* refused;
        const char* token;
        Call call;
    };
    static const Row kRows[] = {
        {Command::ShutdownStart, "Shutdown countdown started", "start a shutdown on",
         "shutdownStart", manualDevShutdown},
        {Command::ShutdownCancel, "Shutdown cancelled", "cancel the shutdown of", "shutdownCancel",
         cancelDevShutdown},
        {Command::Discharge, "Battery discharge started", "start a battery discharge on",
         "discharge", manualDevDischarge},
        {Command::MailTestStart, "Test mail requested", "send a test mail for", "mailTestStart",
         manualDevMailTest},
        {Command::MailTestCancel, "Test mail cancelled", "cancel the test mail of",
         "mailTestCancel", cancelDevMailTest},
        {Command::Delete, "Device deleted", "delete", "delete", deleteDevice},
    };
    const Row* row = kRows;
    while (row->command != command && row + 1 != std::end(kRows)) {
        ++row;
    }
    return deviceCall(session, id, row->done, row->refused, row->token, out, row->call);
}

int runUser(Session& session, const std::string& id, const std::string* userName,
            const std::string* userProd, std::ostream& out) {
    session.open();
    Host& host = session.hostForDevice(id);
    // The service takes both texts at once: a text not given keeps its value.
    custovia::Device current;
    if (userName == nullptr || userProd == nullptr) {
        session.check(
            getDevice(session.handle(), host.key.c_str(), session.computer(), id.c_str(), &current),
            "device \"" + id + "\" on " + host.key);
    }
    std::string name = userName ? *userName : current.userName;
    std::string prod = userProd ? *userProd : current.userProd;
    return deviceCall(session, id, "User texts changed", "change the user texts of", "user", out,
                      [&](CustoviaHandle h, const char* k, const char* c, const char* d) {
                          return changeUserDevice(h, k, c, d, name.c_str(), prod.c_str());
                      });
}

int runColor(Session& session, const std::string& id, const std::string& color, std::ostream& out) {
    Rgb rgb = parseColor(color);
    return deviceCall(session, id, "LED colour changed", "change the LED colour of", "color", out,
                      [&](CustoviaHandle h, const char* k, const char* c, const char* d) {
                          return changeColorDevice(h, k, c, d, rgb.red, rgb.green, rgb.blue,
                                                   rgb.random);
                      });
}

int runLineSense(Session& session, const std::string& id, const std::string& value,
                 std::ostream& out) {
    int32_t level = parseLineSense(value);
    return deviceCall(session, id, "Line sensitivity set to " + std::to_string(level),
                      "change the line sensitivity of", "lineSense", out,
                      [&](CustoviaHandle h, const char* k, const char* c, const char* d) {
                          return deviceSetLineSense(h, k, c, d, level);
                      });
}

int runChargerCurrent(Session& session, const std::string& id, int32_t value, std::ostream& out) {
    return deviceCall(session, id, "Charger current set to " + std::to_string(value),
                      "change the charger current of", "chargerCurrent", out,
                      [&](CustoviaHandle h, const char* k, const char* c, const char* d) {
                          return deviceSetICBattery(h, k, c, d, value);
                      });
}

}  // namespace cli
}  // namespace custovia
