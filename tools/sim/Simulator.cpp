// The simulator's hosts and their servers, started and stopped, and the
// calls on the simulated world that tests make directly.
#include "sim/Simulator.h"

#include <stdexcept>

#include "sim/Catalogue.h"
#include "sim/SimulatorImpl.h"

namespace custovia {
namespace sim {

std::string hostAddress(int index) {
    // 254 addresses per /24 of the loopback net, without .0 and .255.
    return "127.0." + std::to_string(index / 254) + "." + std::to_string(index % 254 + 1);
}

Simulator::Impl::Impl(Options o) : options(std::move(o)) {
    if (options.hosts < 1 || options.hosts > kMaxHosts) {
        throw std::invalid_argument("the number of hosts must be from 1 to " +
                                    std::to_string(kMaxHosts));
    }
    if (options.hosts > 1 && options.address != "127.0.0.1") {
        throw std::invalid_argument("several hosts are served on 127.0.0.1, 127.0.0.2, ... only");
    }
    while (!options.apiRoot.empty() && options.apiRoot.front() == '/') {
        options.apiRoot.erase(0, 1);
    }
    while (!options.apiRoot.empty() && options.apiRoot.back() == '/') {
        options.apiRoot.pop_back();
    }
    if (options.apiRoot.empty() || options.apiRoot == "mon" ||
        options.apiRoot.compare(0, 4, "_sim") == 0) {
        throw std::invalid_argument("the interface root must be a path other than mon and _sim");
    }
    for (int i = 0; i < options.hosts; ++i) {
        auto h = std::make_unique<Host>();
        h->address = options.hosts > 1 ? hostAddress(i) : options.address;
        Options mine = options;
        mine.address = h->address;
        h->world = std::make_unique<World>(mine, i, options.port);
        hosts.push_back(std::move(h));
    }
    for (FaultRule rule : options.faults) {
        std::string error;
        if (addFault(rule, &error) < 0) {
            throw std::invalid_argument(error);
        }
    }
}

Host& Simulator::Impl::host(int index) {
    if (index < 0 || index >= static_cast<int>(hosts.size())) {
        throw std::out_of_range("no host " + std::to_string(index));
    }
    return *hosts[static_cast<std::size_t>(index)];
}

void Simulator::Impl::stopServers() {
    stopping = true;
    {
        std::lock_guard<std::mutex> lock(faultMutex);
        faultCv.notify_all();
    }
    for (auto& h : hosts) {
        if (h->server) {
            h->server->shutdown();
            h->server.reset();
        }
    }
}

// ---------------------------------------------------------------------------

Simulator::Simulator(Options options) : d_(std::make_unique<Impl>(std::move(options))) {}

Simulator::~Simulator() {
    stop();
}

void Simulator::start() {
    if (d_->running) {
        return;
    }
    d_->stopping = false;
    const int attempts = d_->options.port == 0 ? 20 : 1;
    for (int attempt = 0;; ++attempt) {
        int port = d_->options.port;
        std::string error, failed;
        for (std::size_t i = 0; i < d_->hosts.size() && error.empty(); ++i) {
            Host& h = *d_->hosts[i];
            h.server = std::make_unique<HttpServer>(d_->options.tlsCert, d_->options.tlsKey);
            int bound = h.server->bindTo(h.address, port, &error);
            if (bound < 0) {
                failed = h.address + ":" + std::to_string(port);
            } else {
                port = bound;
            }
        }
        if (error.empty()) {
            d_->port = port;
            break;
        }
        d_->stopServers();
        d_->stopping = false;
        if (attempt + 1 >= attempts) {
            throw std::runtime_error("cannot listen on " + failed + ": " + error);
        }
    }
    for (std::size_t i = 0; i < d_->hosts.size(); ++i) {
        Host& h = *d_->hosts[i];
        {
            std::lock_guard<std::mutex> lock(h.worldMutex);
            h.world->local().port = d_->port;
        }
        int index = static_cast<int>(i);
        Impl* impl = d_.get();
        auto handler = [impl, index](const httplib::Request& req, httplib::Response& res) {
            impl->handle(index, req, res);
        };
        h.server->Get(".*", handler);
        h.server->Post(".*", handler);
        h.server->Put(".*", handler);
        h.server->Delete(".*", handler);
        h.server->Patch(".*", handler);
        h.server->Options(".*", handler);
        h.server->set_exception_handler(
            [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
                writeJson(res, 500, errorAnswer(500, "internal error").body);
            });
        // Requests httplib refuses itself (unreadable, too large) get a JSON body too.
        httplib::Server::HandlerWithResponse onError = [](const httplib::Request&,
                                                          httplib::Response& res) {
            if (!res.body.empty() || res.content_length_ > 0) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            writeJson(res, res.status, errorAnswer(res.status, "bad request").body);
            return httplib::Server::HandlerResponse::Handled;
        };
        h.server->set_error_handler(onError);
        h.server->startServing();
    }
    d_->running = true;
}

void Simulator::stop() {
    if (!d_->running) {
        return;
    }
    d_->stopServers();
    d_->running = false;
}

bool Simulator::isRunning() const {
    return d_->running;
}
int Simulator::port() const {
    return d_->port;
}
int Simulator::hostCount() const {
    return static_cast<int>(d_->hosts.size());
}
const Options& Simulator::options() const {
    return d_->options;
}

std::string Simulator::address(int host) const {
    return d_->host(host).address;
}

std::string Simulator::url(int host) const {
    std::string a = address(host);
    if (a.find(':') != std::string::npos) {
        a = "[" + a + "]";  // an IPv6 address
    }
    const char* scheme =
        d_->options.tlsCert.empty() && d_->options.tlsKey.empty() ? "http://" : "https://";
    return scheme + a + ":" + std::to_string(d_->port);
}

bool Simulator::setOutage(bool on, const std::string& device, int host) {
    Host& h = d_->host(host);
    std::lock_guard<std::mutex> lock(h.worldMutex);
    h.world->sync();
    bool found = false;
    for (SimComputer* c : h.world->computers()) {
        for (auto& [id, d] : c->devices) {
            if (device.empty() || id == device) {
                h.world->setOutage(d, on);
                found = true;
            }
        }
    }
    return found;
}

void Simulator::advance(int seconds, int host) {
    for (int i = 0; i < hostCount(); ++i) {
        if (host < 0 || host == i) {
            Host& h = d_->host(i);
            std::lock_guard<std::mutex> lock(h.worldMutex);
            h.world->sync();
            h.world->advance(seconds);
        }
    }
}

std::vector<std::string> Simulator::deviceIds(const std::string& computer, int host) const {
    Host& h = d_->host(host);
    std::lock_guard<std::mutex> lock(h.worldMutex);
    std::vector<std::string> ids;
    if (SimComputer* c = h.world->computer(computer)) {
        for (const auto& [id, d] : c->devices) {
            ids.push_back(id);
        }
    }
    return ids;
}

std::vector<std::string> Simulator::computerIds(int host) const {
    Host& h = d_->host(host);
    std::lock_guard<std::mutex> lock(h.worldMutex);
    std::vector<std::string> ids;
    for (SimComputer* c : h.world->computers()) {
        if (c != &h.world->local()) {
            ids.push_back(c->ip);
        }
    }
    return ids;
}

bool Simulator::changeDevice(const std::string& device, const QJsonObject& changes,
                             std::string* error, int host) {
    Host& h = d_->host(host);
    std::lock_guard<std::mutex> lock(h.worldMutex);
    h.world->sync();
    std::string reason;
    SimDevice* d = h.world->findDevice(device);
    bool ok = d ? sim::changeDevice(*h.world, *d, changes, &reason) : false;
    if (!d) {
        reason = "unknown device";
    }
    if (error) {
        *error = reason;
    }
    return ok;
}

std::vector<std::string> Simulator::addDevices(int count, const std::string& computer, int host) {
    Host& h = d_->host(host);
    std::lock_guard<std::mutex> lock(h.worldMutex);
    h.world->sync();
    SimComputer* c = h.world->computer(computer);
    return c ? h.world->addDevices(*c, count) : std::vector<std::string>();
}

QJsonObject Simulator::snapshot(int host) const {
    Host& h = d_->host(host);
    std::lock_guard<std::mutex> lock(h.worldMutex);
    h.world->sync();
    return h.world->snapshot();
}

}  // namespace sim
}  // namespace custovia
