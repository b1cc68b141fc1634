// Answering a request to the service: the control interface, or the journal
// entry, the fault rules' verdict and the catalogue's answer.
#include <QJsonDocument>

#include <memory>

#include "sim/Catalogue.h"
#include "sim/SimulatorImpl.h"

namespace custovia {
namespace sim {
namespace {

const char kJsonType[] = "application/json";

}  // namespace

void writeJson(httplib::Response& res, int status, const QJsonObject& body) {
    res.status = status;
    QByteArray text = QJsonDocument(body).toJson(QJsonDocument::Compact);
    res.set_content(text.constData(), static_cast<std::size_t>(text.size()), kJsonType);
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

}  // namespace sim
}  // namespace custovia
