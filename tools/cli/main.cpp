// custovia: the command-line client of the Custovia monitoring services. It
// shows and controls the UPS units of one or more hosts through
// libcustovia's exported functions, the way the product's programs do.
#include <CLI/CLI.hpp>

#include <functional>
#include <iostream>
#include <map>
#include <memory>

#include "cli/Commands.h"
#include "cli/Session.h"
#include "cli/Settings.h"

namespace {

using namespace custovia::cli;

const char kDefaultHost[] = "http://127.0.0.1:4470";

const char kFooter[] = R"(
Examples:
  custovia status                          every unit of the local service
  custovia --host http://ups1:4470 --host http://ups2:4470 watch
  custovia device SIM0000001               one unit in detail
  custovia shutdown start SIM0000001       start a manual shutdown countdown
  custovia config shutdown SIM0000001 counterManual=60
  custovia --json status | jq '.hosts[].computers[].devices[].state'
  custovia events --hold 10 --exec /usr/local/bin/on-ups-event

Exit status: 0 success, 1 failed operation (the message names the status
code: -202 invalid argument, -302 not found, -320 service error, ...),
2 bad usage.)";

const char kSharedOptions[] = R"(
Options of every subcommand, before or after it (see custovia --help):
  --host URL  --computer ID  --json  --timeout SECONDS  --log-level LEVEL
  --log-file FILE  --color WHEN)";

// The values of the command line; each subcommand's callback binds the
// action to the ones it uses.
struct Parsed {
    GlobalOptions global;
    std::string color = "auto";
    std::string id, value, userName, userProd;
    double interval = 3;
    int count = 0;
    int32_t family = 0, model = -1, current = 0;
    bool yes = false;
    std::vector<std::string> words;
    EventOptions events;
    double hold = 0, execTimeout = 10;
    std::function<int(Session&)> action;
};

CLI::App* deviceCommand(CLI::App& app, const char* name, const char* help, std::string& id) {
    CLI::App* sub = app.add_subcommand(name, help);
    sub->add_option("ID", id, "device identifier")->required();
    return sub;
}

void addSettings(CLI::App& config, Parsed& p, const char* name, SettingsKind kind,
                 const char* help) {
    CLI::App* sub = config.add_subcommand(name, help);
    if (kind != SettingsKind::Notify) {
        sub->add_option("ID", p.id, "device identifier")->required();
    }
    sub->add_option("key=value", p.words, "settings to change; none: show them");
    sub->footer("\nKeys:\n" + settingsKeysHelp(kind));
    sub->callback([&p, kind]() {
        p.action = [&p, kind](Session& s) {
            Pairs pairs = parsePairs(kind, p.words);
            return runSettings(s, kind, p.id, pairs, std::cout);
        };
    });
}

void addGlobalOptions(CLI::App& app, Parsed& p) {
    GlobalOptions& g = p.global;
    // Global options may also follow the subcommand.
    app.fallthrough();
    app.add_option("--host", g.hosts,
                   std::string("address of a monitoring service, repeatable (default ") +
                       kDefaultHost + ")")
        ->envname("CUSTOVIA_HOST")
        ->type_name("URL");
    app.add_option("--computer", g.computer,
                   "computer of the service: localhost or a remote computer's address "
                   "(default: all for status, localhost otherwise)")
        ->type_name("ID");
    app.add_flag("--json", g.json, "machine-readable output");
    app.add_option("--timeout", g.timeout, "seconds to wait for the first data")
        ->type_name("SECONDS")
        ->capture_default_str()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->check(CLI::Range(0.0, 3600.0));
    app.add_option("--log-level", g.logLevel, "library log level: trace ... fatal")
        ->type_name("LEVEL")
        ->transform(CLI::IsMember({"trace", "debug", "info", "warning", "error", "fatal"},
                                  CLI::ignore_case));
    app.add_option("--log-file", g.logFile,
                   "write the library's log to this file (default: standard error when a "
                   "level is given)")
        ->type_name("FILE");
    app.add_option("--ca-file", g.caFile,
                   "check HTTPS services: certificates issued by this authority (PEM) for "
                   "the host named")
        ->type_name("FILE")
        ->check(CLI::ExistingFile);
    app.add_option("--color", p.color, "colour on a terminal: auto, always or never")
        ->type_name("WHEN")
        ->capture_default_str()
        ->transform(CLI::IsMember({"auto", "always", "never"}, CLI::ignore_case));
}

// status, watch, device, hosts, model.
void addViewCommands(CLI::App& app, Parsed& p) {
    app.add_subcommand("status", "every computer and unit in one table")->callback([&p] {
        p.action = [](Session& s) { return runStatus(s, std::cout); };
    });

    CLI::App* watch = app.add_subcommand("watch", "live status, redrawn until Ctrl-C");
    watch->add_option("--interval", p.interval, "seconds between redraws")
        ->capture_default_str()
        ->check(CLI::Range(0.1, 3600.0));
    watch->add_option("--count", p.count, "stop after this many redraws (0: never)")
        ->capture_default_str()
        ->check(CLI::NonNegativeNumber);
    watch->callback([&p] {
        p.action = [&p](Session& s) { return runWatch(s, std::cout, p.interval, p.count); };
    });

    deviceCommand(app, "device", "one unit in detail: readings, flags, countdown, model", p.id)
        ->callback([&p] { p.action = [&p](Session& s) { return runDevice(s, p.id, std::cout); }; });

    app.add_subcommand("hosts", "the connected services and what they report")->callback([&p] {
        p.action = [](Session& s) { return runHosts(s, std::cout); };
    });

    CLI::App* events = app.add_subcommand(
        "events", "changes as they happen, a line each (JSON lines with --json), until Ctrl-C");
    events->add_option("--count", p.events.count, "stop after this many events (0: never)")
        ->capture_default_str()
        ->check(CLI::NonNegativeNumber);
    events
        ->add_option("--exec", p.events.exec,
                     "run PROGRAM once per event, directly (no shell), with the event in "
                     "CUSTOVIA_EVENT (kind), CUSTOVIA_DEVICE, CUSTOVIA_HOST, CUSTOVIA_COMPUTER, "
                     "CUSTOVIA_NAME (flag), CUSTOVIA_OLD, CUSTOVIA_NEW, CUSTOVIA_TEXT, "
                     "CUSTOVIA_SEQ, CUSTOVIA_TIME (ms since 1970), CUSTOVIA_LOST; a program that "
                     "fails or runs past --exec-timeout is reported and the stream goes on")
        ->type_name("PROGRAM");
    events->add_option("--exec-timeout", p.execTimeout, "seconds a program may run per event")
        ->type_name("SECONDS")
        ->capture_default_str()
        ->check(CLI::Range(0.1, 3600.0));
    events
        ->add_option("--hold", p.hold,
                     "report a raised flag or failure only once it has held this long; one "
                     "cleared sooner is not reported at all")
        ->type_name("SECONDS")
        ->capture_default_str()
        ->check(CLI::Range(0.0, 86400.0));
    events->callback([&p] {
        p.action = [&p](Session& s) {
            p.events.json = s.options().json;
            p.events.holdMs = static_cast<int64_t>(p.hold * 1000);
            p.events.execTimeoutMs = static_cast<int64_t>(p.execTimeout * 1000);
            return runEvents(s, p.events, std::cout);
        };
    });

    CLI::App* modelCmd = app.add_subcommand("model", "capabilities of a UPS model");
    modelCmd->add_option("FAMILY", p.family, "model family number")->required();
    modelCmd->add_option("MODEL", p.model, "model number (default: the family)");
    modelCmd->callback([&p] {
        p.action = [&p](Session& s) { return runModel(s, p.family, p.model, std::cout); };
    });
}

// The commands and changes of one unit.
void addUnitCommands(CLI::App& app, Parsed& p) {
    auto command = [&p](CLI::App& parent, const char* name, const char* help, Command c) {
        deviceCommand(parent, name, help, p.id)->callback([&p, c] {
            p.action = [&p, c](Session& s) { return runCommand(s, c, p.id, std::cout); };
        });
    };
    CLI::App* shutdown = app.add_subcommand("shutdown", "manual shutdown of a unit");
    shutdown->require_subcommand(1);
    command(*shutdown, "start", "start the shutdown countdown", Command::ShutdownStart);
    command(*shutdown, "cancel", "cancel a shutdown", Command::ShutdownCancel);
    command(app, "discharge", "start a battery discharge test", Command::Discharge);
    CLI::App* mail = app.add_subcommand("mail-test", "test mail of a unit's notification");
    mail->require_subcommand(1);
    command(*mail, "start", "send a test mail", Command::MailTestStart);
    command(*mail, "cancel", "cancel the test mail", Command::MailTestCancel);

    CLI::App* del = deviceCommand(app, "delete", "remove a unit from its service", p.id);
    del->add_flag("--yes", p.yes, "confirm the removal");
    del->callback([&p] {
        p.action = [&p](Session& s) {
            if (!p.yes) {
                throw Failure("delete removes device " + p.id +
                                  " and its settings from the service; add --yes to confirm",
                              kExitUsage);
            }
            return runCommand(s, Command::Delete, p.id, std::cout);
        };
    });

    CLI::App* user = deviceCommand(app, "user", "change a unit's user texts", p.id);
    CLI::Option* nameOpt = user->add_option("--name", p.userName, "user name of the unit");
    CLI::Option* prodOpt = user->add_option("--product", p.userProd, "user product text");
    user->callback([&p, nameOpt, prodOpt] {
        if (nameOpt->count() == 0 && prodOpt->count() == 0) {
            throw CLI::RequiredError("--name or --product");
        }
        p.action = [&p, nameOpt, prodOpt](Session& s) {
            return runUser(s, p.id, nameOpt->count() ? &p.userName : nullptr,
                           prodOpt->count() ? &p.userProd : nullptr, std::cout);
        };
    });

    CLI::App* colorCmd = deviceCommand(app, "color", "change a unit's LED colour", p.id);
    colorCmd->add_option("COLOR", p.value, "#rrggbb, red,green,blue or random")->required();
    colorCmd->callback(
        [&p] { p.action = [&p](Session& s) { return runColor(s, p.id, p.value, std::cout); }; });

    CLI::App* sense = deviceCommand(app, "line-sense", "change a unit's line sensitivity", p.id);
    sense->add_option("LEVEL", p.value, "0-4 or very-low, low, normal, high, very-high")
        ->required();
    sense->callback([&p] {
        p.action = [&p](Session& s) { return runLineSense(s, p.id, p.value, std::cout); };
    });

    CLI::App* charger =
        deviceCommand(app, "charger-current", "change a unit's charger current", p.id);
    charger->add_option("VALUE", p.current, "charger current setting")->required();
    charger->callback([&p] {
        p.action = [&p](Session& s) { return runChargerCurrent(s, p.id, p.current, std::cout); };
    });
}

void addSettingsCommands(CLI::App& app, Parsed& p) {
    CLI::App* config = app.add_subcommand("config", "read or change settings (key=value)");
    config->require_subcommand(1);
    addSettings(*config, p, "shutdown", SettingsKind::Shutdown, "a unit's shutdown settings");
    addSettings(*config, p, "dialer", SettingsKind::Dialer, "a unit's telephone dialer settings");
    addSettings(*config, p, "mail", SettingsKind::Mail, "a unit's mail settings");
    addSettings(*config, p, "notify", SettingsKind::Notify, "a computer's notification settings");
}

// The examples belong to the program's help; every subcommand's help points
// to the options it shares.
void addFooters(CLI::App& app) {
    std::function<void(CLI::App*)> footers = [&](CLI::App* parent) {
        for (CLI::App* sub : parent->get_subcommands([](CLI::App*) { return true; })) {
            sub->footer(sub->get_footer() + kSharedOptions);
            footers(sub);
        }
    };
    footers(&app);
    app.footer(kFooter);
}

// Parses the command line; the exit code when the program ends here (help,
// bad usage), -1 when the action is to run.
int parse(CLI::App& app, Parsed& p, int argc, char** argv) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // A mistyped subcommand is left over as an extra word.
        if (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr && app.remaining_size() > 0 &&
            app.get_subcommands().empty()) {
            std::cerr << "custovia: unknown subcommand \"" << app.remaining().front()
                      << "\"\nRun with --help for more information.\n";
            return kExitUsage;
        }
        int code = app.exit(e);
        return code == 0 ? kExitOk : kExitUsage;
    }
    GlobalOptions& g = p.global;
    if (g.hosts.empty()) {
        g.hosts.push_back(kDefaultHost);
    }
    g.color = p.color == "always"  ? ColorMode::Always
              : p.color == "never" ? ColorMode::Never
                                   : ColorMode::Auto;
    return -1;
}

int run(Parsed& p) {
    try {
        Session session(p.global);
        int code = p.action(session);
        std::cout.flush();
        return code;
    } catch (const Failure& f) {
        std::cout.flush();
        std::cerr << "custovia: " << f.what() << '\n';
        return f.exitCode();
    } catch (const std::exception& e) {
        std::cerr << "custovia: failed: " << e.what() << '\n';
        return kExitFailed;
    }
}

}  // namespace

int main(int argc, char** argv) {
    Parsed p;
    CLI::App app{"custovia: see and control the UPS units of Custovia monitoring services"};
    app.require_subcommand(1);
    addGlobalOptions(app, p);
    addViewCommands(app, p);
    addUnitCommands(app, p);
    addSettingsCommands(app, p);
    addFooters(app);
    int code = parse(app, p, argc, argv);
    return code >= 0 ? code : run(p);
}
