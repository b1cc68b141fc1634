// The journal of received requests: recorded on arrival, completed with the
// answer's status, read by tests and the control interface.
#include <QDateTime>

#include "sim/SimulatorImpl.h"

namespace custovia {
namespace sim {
namespace {

constexpr std::size_t kJournalBodyLimit = 64 * 1024;

}  // namespace

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

}  // namespace sim
}  // namespace custovia
