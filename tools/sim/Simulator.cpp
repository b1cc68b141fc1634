#include "sim/Simulator.h"

#include "sim/Catalogue.h"
#include "sim/Faults.h"
#include "sim/SimulatorImpl.h"

#include <QDateTime>
#include <QJsonDocument>

#include <stdexcept>

namespace custovia {
namespace sim {
namespace {

constexpr std::size_t kJournalBodyLimit = 64 * 1024;

const char kJsonType[] = "application/json";

}  // namespace

void writeJson(httplib::Response& res, int status, const QJsonObject& body) {
    res.status = status;
    QByteArray text = QJsonDocument(body).toJson(QJsonDocument::Compact);
    res.set_content(text.constData(), static_cast<std::size_t>(text.size()), kJsonType);
}

Simulator::Impl::Impl(Options o) : options(std::move(o)) {
    if (options.hosts < 1 || options.hosts > 254) {
        throw std::invalid_argument("the number of hosts must be from 1 to 254");
    }
    if (options.hosts > 1 && options.address != "127.0.0.1") {
        throw std::invalid_argument("several hosts are served on 127.0.0.1 ... 127.0.0.K only");
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
        h->address = options.hosts > 1 ? "127.0.0." + std::to_string(i + 1) : options.address;
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

std::uint64_t Simulator::Impl::record(int hostIndex, const httplib::Request& req) {
    JournalEntry e;
    e.host = hostIndex;
    e.method = req.method;
    e.path = req.path;
    std::size_t q = req.target.find('?');
    if (q != std::string::npos) {
        e.query = req.target.substr(q + 1);
    }
    e.body = req.body.substr(0, kJournalBodyLimit);
    e.userAgent = req.get_header_value("User-Agent");
    e.accept = req.get_header_value("Accept");
    e.contentType = req.get_header_value("Content-Type");
    e.timeMs = QDateTime::currentMSecsSinceEpoch();
    std::lock_guard<std::mutex> lock(journalMutex);
    e.seq = nextSeq++;
    journal.push_back(std::move(e));
    while (journal.size() > options.journalLimit) {
        journal.pop_front();
    }
    journalCv.notify_all();
    return nextSeq - 1;
}

void Simulator::Impl::finish(std::uint64_t seq, int status) {
    JournalEntry done;
    {
        std::lock_guard<std::mutex> lock(journalMutex);
        if (journal.empty() || seq < journal.front().seq) {
            return;
        }
        std::size_t index = static_cast<std::size_t>(seq - journal.front().seq);
        if (index >= journal.size()) {
            return;
        }
        journal[index].status = status;
        done = journal[index];
    }
    if (options.onAnswered) {
        options.onAnswered(done);
    }
}

Simulator::Impl::Decision Simulator::Impl::decide(int hostIndex, const std::string& method,
                                                  const std::string& path) {
    Decision d;
    std::lock_guard<std::mutex> lock(faultMutex);
    for (FaultRule& r : faults) {
        if (!ruleMatches(r, hostIndex, method, path, options.apiRoot)) {
            continue;
        }
        if (r.kind == FaultKind::Delay) {
            d.delayMs += r.delayMs;
        } else if (!d.fault) {
            d.fault = true;
            d.kind = r.kind;
            d.status = r.status;
        } else {
            continue;  // a later rule of another kind keeps its count
        }
        if (r.count > 0) {
            --r.count;
        }
    }
    return d;
}

bool Simulator::Impl::pause(int ms) {
    std::unique_lock<std::mutex> lock(faultMutex);
    return !faultCv.wait_for(lock, std::chrono::milliseconds(ms),
                             [this] { return stopping.load(); });
}

bool Simulator::Impl::hangUntilReleased() {
    std::unique_lock<std::mutex> lock(faultMutex);
    std::uint64_t generation = releaseGeneration;
    ++hanging;
    faultCv.wait(lock, [&] { return stopping || releaseGeneration != generation; });
    --hanging;
    return !stopping;
}

int Simulator::Impl::addFault(FaultRule rule, std::string* error) {
    if (!checkFaultRule(rule, error)) {
        return -1;
    }
    std::lock_guard<std::mutex> lock(faultMutex);
    rule.id = nextFaultId++;
    faults.push_back(rule);
    return rule.id;
}

void Simulator::Impl::clearFaults() {
    std::lock_guard<std::mutex> lock(faultMutex);
    faults.clear();
    ++releaseGeneration;
    faultCv.notify_all();
}

void Simulator::Impl::release() {
    std::lock_guard<std::mutex> lock(faultMutex);
    ++releaseGeneration;
    faultCv.notify_all();
}

void Simulator::Impl::handle(int hostIndex, const httplib::Request& req, httplib::Response& res) {
    if (req.path == "/_sim" || req.path.compare(0, 6, "/_sim/") == 0) {
        control(hostIndex, req, res);
        return;
    }
    std::uint64_t seq = record(hostIndex, req);
    Decision d = decide(hostIndex, req.method, req.path);
    bool go = d.delayMs <= 0 || pause(d.delayMs);
    if (go && d.fault && d.kind == FaultKind::Hang) {
        go = hangUntilReleased();
        d.fault = false;
    }
    if (!go || (d.fault && d.kind == FaultKind::Drop)) {
        HttpServer::dropCurrentConnection();
        finish(seq, 0);
        return;
    }
    if (d.fault && d.kind == FaultKind::Status) {
        Answer a = errorAnswer(d.status, "injected fault");
        writeJson(res, d.status, a.body);
        finish(seq, d.status);
        return;
    }
    Answer a;
    {
        Host& h = host(hostIndex);
        std::lock_guard<std::mutex> lock(h.worldMutex);
        h.world->sync();
        a = serveCatalogue(*h.world, options.apiRoot, req.method, req.path, req.body);
    }
    writeJson(res, a.status, a.body);
    if (!a.allow.empty()) {
        res.set_header("Allow", a.allow);
    }
    if (d.fault && d.kind == FaultKind::Malformed) {
        // Valid JSON cut short and followed by stray characters.
        std::string text = res.body.substr(0, res.body.size() / 2) + "\"]}}{";
        res.status = 200;
        res.set_content(text, kJsonType);
        a.status = 200;
    } else if (d.fault && d.kind == FaultKind::Truncated) {
        auto full = std::make_shared<std::string>(res.body);
        res.status = 200;
        res.body.clear();
        res.set_content_provider(full->size(), kJsonType,
                                 [full](std::size_t, std::size_t, httplib::DataSink& sink) {
                                     sink.write(full->data(), full->size() / 2);
                                     return false;  // ends the answer here
                                 });
        HttpServer::closeAfterResponse();
        a.status = 200;
    }
    finish(seq, a.status);
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

std::vector<JournalEntry> Simulator::journal() const {
    return journalSince(0);
}

std::vector<JournalEntry> Simulator::journalSince(std::uint64_t seq) const {
    std::lock_guard<std::mutex> lock(d_->journalMutex);
    std::vector<JournalEntry> out;
    for (const auto& e : d_->journal) {
        if (e.seq > seq) {
            out.push_back(e);
        }
    }
    return out;
}

void Simulator::clearJournal() {
    std::lock_guard<std::mutex> lock(d_->journalMutex);
    d_->journal.clear();
}

std::uint64_t Simulator::lastSeq() const {
    std::lock_guard<std::mutex> lock(d_->journalMutex);
    return d_->nextSeq - 1;
}

bool Simulator::waitForRequests(std::size_t count, std::chrono::milliseconds timeout,
                                std::uint64_t since) const {
    std::unique_lock<std::mutex> lock(d_->journalMutex);
    return d_->journalCv.wait_for(lock, timeout, [&] { return d_->nextSeq - 1 >= since + count; });
}

int Simulator::addFault(FaultRule rule) {
    std::string error;
    int id = d_->addFault(rule, &error);
    if (id < 0) {
        throw std::invalid_argument(error);
    }
    return id;
}

bool Simulator::removeFault(int id) {
    std::lock_guard<std::mutex> lock(d_->faultMutex);
    for (auto it = d_->faults.begin(); it != d_->faults.end(); ++it) {
        if (it->id == id) {
            d_->faults.erase(it);
            return true;
        }
    }
    return false;
}

void Simulator::clearFaults() {
    d_->clearFaults();
}

std::vector<FaultRule> Simulator::faults() const {
    std::lock_guard<std::mutex> lock(d_->faultMutex);
    return d_->faults;
}

void Simulator::releaseHangs() {
    d_->release();
}

int Simulator::hangingCount() const {
    std::lock_guard<std::mutex> lock(d_->faultMutex);
    return d_->hanging;
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
