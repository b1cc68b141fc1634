// The simulator's request handling: the catalogue of the monitoring
// interface on a simulated world, fault rules, and raw HTTP requests to a
// running simulator.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QString>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzEntries.h"
#include "sim/Catalogue.h"
#include "sim/Simulator.h"
#include "sim/World.h"

namespace custovia {
namespace fuzz {

namespace {

// A small world whose time moves only when told, so runs repeat.
sim::Options worldOptions() {
    sim::Options options;
    options.devices = 2;
    options.computers = 1;
    options.remoteDevices = 1;
    options.realTime = false;
    options.startTimeMs = 1600000000000;
    options.journalLimit = 100;
    return options;
}

void checkFaultText(const std::string& text) {
    sim::FaultRule rule;
    std::string error;
    if (!sim::FaultRule::parse(text, &rule, &error)) {
        check(!error.empty(), "a refused fault rule gives no reason: " + text);
        return;
    }
    // The JSON form carries texts as Unicode: only UTF-8 rules can survive it.
    if (QString::fromStdString(text).toStdString() != text) {
        return;
    }
    sim::FaultRule back;
    check(sim::FaultRule::fromJson(rule.toJson(), &back, &error),
          "a parsed fault rule does not read back from its JSON form: " + text + ": " + error);
    check(back.kind == rule.kind && back.prefix == rule.prefix && back.regex == rule.regex &&
              back.method == rule.method && back.status == rule.status &&
              back.delayMs == rule.delayMs && back.count == rule.count,
          "fault rule changes through its JSON form: " + text);
}

}  // namespace

void simCatalogue(const uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const sim::Options options = worldOptions();
    sim::World world(options, 0, 4470);

    // Requests separated by 0x1e: "METHOD path\nbody", or "!fault-rule-text",
    // or "+seconds" to move simulated time (up to an hour).
    std::size_t start = 0;
    for (int n = 0; n < 32 && start <= input.size(); ++n) {
        std::size_t end = input.find('\x1e', start);
        if (end == std::string::npos) {
            end = input.size();
        }
        const std::string record = input.substr(start, end - start);
        start = end + 1;
        if (!record.empty() && record[0] == '!') {
            checkFaultText(record.substr(1));
            continue;
        }
        if (!record.empty() && record[0] == '+') {
            world.advance(static_cast<int>(std::strtoul(record.c_str() + 1, nullptr, 10) % 3601));
            continue;
        }
        std::size_t lineEnd = record.find('\n');
        const std::string line = record.substr(0, lineEnd);
        const std::string body = lineEnd == std::string::npos ? "" : record.substr(lineEnd + 1);
        std::size_t space = line.find(' ');
        const std::string method = line.substr(0, space);
        const std::string path = space == std::string::npos ? "/" : line.substr(space + 1);

        sim::Answer answer = sim::serveCatalogue(world, options.apiRoot, method, path, body);
        check(answer.status >= 200 && answer.status < 600,
              "answer status " + std::to_string(answer.status) + " for " + line);
        check(answer.status != 405 || !answer.allow.empty(), "405 without Allow for " + line);
        QJsonDocument back = QJsonDocument::fromJson(QJsonDocument(answer.body).toJson());
        check(back.isObject() && back.object() == answer.body,
              "answer body does not survive its own text form for " + line);
    }
    (void)world.snapshot();
}

void simHttp(const uint8_t* data, std::size_t size) {
    sim::Simulator simulator(worldOptions());
    simulator.start();

    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    check(fd >= 0, "no socket");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(simulator.port()));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // Closing with a reset leaves no TIME_WAIT behind: thousands of runs a
    // minute would otherwise use up the local ports.
    linger abortive{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof(abortive));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        const int error = errno;
        ::close(fd);
        // No local port left is the machine's limit, not the simulator's.
        check(error == EADDRNOTAVAIL,
              std::string("simulator not reachable: ") + std::strerror(error));
        return;
    }
    std::size_t sent = 0;
    while (sent < size) {
        ssize_t n = ::send(fd, data + sent, size - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            break;
        }
        sent += static_cast<std::size_t>(n);
    }
    ::shutdown(fd, SHUT_WR);

    // The whole input is there and the sending side closed: every answer
    // must come within a short time unless a fault rule makes it hang.
    std::string reply;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    char buffer[4096];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) {
            continue;
        }
        ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
        if (n <= 0) {
            break;
        }
        reply.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    check(reply.empty() || reply.compare(0, 5, "HTTP/") == 0,
          "reply does not start with a status line");

    // Stopping returns promptly, also with hanging or delayed requests.
    auto before = std::chrono::steady_clock::now();
    simulator.stop();
    check(std::chrono::steady_clock::now() - before < std::chrono::seconds(2),
          "stopping the simulator took more than 2 s");
}

}  // namespace fuzz
}  // namespace custovia
