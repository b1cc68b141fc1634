// Life cycle, addresses and text helpers of the monitoring client.
#include "monit/MonitClient.h"

#include <QByteArray>
#include <algorithm>

#include "monit/MonitClientLock.h"
#include "tkl/DateTime.h"
#include "tkl/Exception.h"
#include "tkl/Logger.h"
#include "tkl/System.h"

namespace custovia {

namespace {

std::string userAgent() {
    std::string os;
    try {
        os = tkl::System::getOsInfo().fullName;
    } catch (const tkl::Exception&) {
        // The agent text only informs the service; an unknown system is fine.
    }
    return "Custovia/8.9.2 (" + os + ")";
}

}  // namespace

// --- MonitClientTimer --------------------------------------------------------

MonitClientTimer::MonitClientTimer(MonitClient* owner) : owner(owner) {}

MonitClientTimer::~MonitClientTimer() {
    stop();
}

void MonitClientTimer::onTimeout(tkl::Timer* timer) {
    if (owner != nullptr) {
        owner->refresh(timer);
    }
}

// --- MonitClient -------------------------------------------------------------

MonitClient::MonitClient() : timer_(this), logger_(tkl::Logger::getLogger("monitclient")) {
    http_.setTimeout(requestTimeout);
    http_.setUserAgent(userAgent());
    // A stop request aborts the transfer in flight, so that stop() does not
    // wait for a hanging service until the request times out.
    timer_.setStopHandler([this] { http_.abort(); });
}

MonitClient::~MonitClient() {
    stop();
    timer_.stop();
    timer_.setStopHandler(nullptr);
}

void MonitClient::start(const Url& url) {
    if (running_) {
        stop();
    }
    url_.assign(url);
    {
        std::lock_guard<std::mutex> cycle(cycleMutex_);
        changes_ = MonitChanges();
    }
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        health_ = MonitHealth();
        health_.startedMs = tkl::DateTime::now();
    }
    stopping_ = false;
    http_.clearAbort();
    // Set before the thread starts, so that its first cycle finds the client
    // running; taken back when the thread cannot be created.
    running_ = true;
    try {
        timer_.start(refreshInterval_);
    } catch (...) {
        running_ = false;
        throw;
    }
}

void MonitClient::start(const char* url) {
    start(Url(url != nullptr ? url : ""));
}

void MonitClient::stop() {
    if (!running_) {
        return;
    }
    // Aborts a transfer in flight and joins the refresh thread; a cycle run
    // by a caller on another thread ends at its next step and is waited for.
    stopping_ = true;
    timer_.stop();
    {
        std::unique_lock<std::mutex> state(stateMutex_);
        stateChanged_.wait(state, [this] { return !cycleActive_; });
    }
    std::lock_guard<std::mutex> cycle(cycleMutex_);
    {
        std::lock_guard<std::mutex> guard(apiMutex_);
        apiUri_.clear();
    }
    computers_.clear();
    url_.reset();
    running_ = false;
}

bool MonitClient::isRunning() {
    return running_;
}

tkl::Logger* MonitClient::getLogger(const char* name) {
    if (name != nullptr && std::string(name) == "monitclient") {
        return logger_;
    }
    return tkl::Logger::getLogger(name);
}

Url MonitClient::getUrl() {
    return url_;
}

void MonitClient::setRefreshInterval(uint32_t milliseconds) {
    refreshInterval_ = milliseconds;
    timer_.setInterval(milliseconds);
}

long MonitClient::connectionCount() const {
    return http_.connectCount();
}

void MonitClient::setTlsVerification(const std::string& caFile, bool verifyHost) {
    std::lock_guard<std::mutex> guard(requestMutex_);
    http_.setTlsVerification(caFile, verifyHost);
}

MonitClientComputer& MonitClient::computer(const char* id) {
    const MonitClient& self = *this;
    return const_cast<MonitClientComputer&>(self.computer(id));
}

const MonitClientComputer& MonitClient::computer(const char* id) const {
    std::string key = id != nullptr && *id != '\0' ? id : kLocalhost;
    auto it = computers_.find(key);
    if (it == computers_.end()) {
        throw tkl::NotFoundException("Computer id <" + key + "> not found.",
                                     tkl::NotFoundException::defaultCode);
    }
    return it->second;
}

std::string MonitClient::urlFor(const std::string& path) const {
    return buildUrl(url_.url(), path);
}

std::string MonitClient::buildUrl(const std::string& base, const std::string& path) {
    std::string url = base;
    if (url.empty() || url.back() != '/') {
        url += '/';
    }
    url += !path.empty() && path.front() == '/' ? path.substr(1) : path;
    return url;
}

std::string MonitClient::apiUri() const {
    std::lock_guard<std::mutex> guard(apiMutex_);
    return apiUri_;
}

std::string MonitClient::pathSegment(const std::string& id) {
    // Unreserved characters stay as they are, and so do the sub-delimiters,
    // ':' and '@', which a path segment may hold: plain identifiers such as
    // addresses and device names go out unchanged.
    QByteArray encoded = QByteArray::fromStdString(id).toPercentEncoding("!$&'()*+,;=:@");
    if (encoded == "." || encoded == "..") {
        // A dot segment would be resolved away and reach another resource.
        encoded.replace(".", "%2E");
    }
    return encoded.toStdString();
}

std::string MonitClient::maskPasswords(const std::string& text) {
    // Looks for a quoted member name ending in "password" (in any letter
    // case), then ':' and a string value, and replaces the value. Logged texts
    // quote JSON inside quotes, so the name is found from its end rather than
    // by pairing quotes from the start.
    static const std::string key = "password\"";
    std::string lower = QByteArray::fromStdString(text).toLower().toStdString();
    std::string out;
    std::size_t copied = 0;
    std::size_t at = lower.find(key);
    while (at != std::string::npos) {
        std::size_t open = at;
        while (open > 0 && text[open - 1] != '"' && text[open - 1] != '\\') {
            --open;
        }
        std::size_t value = at + key.size();
        auto skipBlanks = [&] {
            while (value < text.size() && (text[value] == ' ' || text[value] == '\t')) {
                ++value;
            }
        };
        skipBlanks();
        bool member =
            open > 0 && text[open - 1] == '"' && value < text.size() && text[value] == ':';
        if (member) {
            ++value;
            skipBlanks();
            member = value < text.size() && text[value] == '"';
        }
        if (!member) {
            at = lower.find(key, at + key.size());
            continue;
        }
        std::size_t close = value + 1;
        while (close < text.size() && text[close] != '"') {
            close += text[close] == '\\' ? 2 : 1;
        }
        out.append(text, copied, value + 1 - copied);
        out += "******";
        copied = std::min(close, text.size());
        at = lower.find(key, copied);
    }
    out.append(text, copied, std::string::npos);
    return out;
}

}  // namespace custovia
