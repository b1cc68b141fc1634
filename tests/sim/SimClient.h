#pragma once
// A small HTTP client for the simulator tests on cpp-httplib: one kept-alive
// connection, paths sent exactly as given, JSON answers parsed with Qt.

#include <httplib.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <string>

namespace simtest {

struct Reply {
    int status = 0;  // 0: no complete HTTP answer
    httplib::Error error = httplib::Error::Success;
    std::string body;  // what arrived, also of an answer cut short
    QJsonObject json() const { return document().object(); }
    bool isJson() const { return !document().isNull(); }
    QJsonDocument document() const {
        return QJsonDocument::fromJson(QByteArray::fromStdString(body));
    }
};

class Client {
public:
    // HTTPS: the peer must chain to `caFile`'s certificates; without one any
    // certificate is accepted.
    explicit Client(const std::string& base, const std::string& caFile = "") : http_(base) {
        http_.set_keep_alive(true);
        http_.set_url_encode(false);
        http_.set_read_timeout(10, 0);
        http_.set_default_headers({{"Accept", "application/json"},
                                   {"Content-Type", "application/json"},
                                   {"User-Agent", "simtest/1.0"}});
#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
        if (!caFile.empty()) {
            http_.set_ca_cert_path(caFile);
        }
        http_.enable_server_certificate_verification(!caFile.empty());
#endif
    }

    Reply send(const std::string& method, const std::string& path, const std::string& body = "") {
        Reply r;
        httplib::Request req;
        req.method = method;
        req.path = path;
        req.body = body;
        req.content_receiver = [&r](const char* data, std::size_t n, uint64_t, uint64_t) {
            r.body.append(data, n);
            return true;
        };
        httplib::Result res = http_.send(req);
        r.error = res.error();
        r.status = res ? res->status : 0;
        return r;
    }
    Reply get(const std::string& path) {
        return send("GET", path);
    }
    Reply put(const std::string& path, const std::string& body) {
        return send("PUT", path, body);
    }
    Reply post(const std::string& path, const std::string& b) {
        return send("POST", path, b);
    }
    Reply del(const std::string& path, const std::string& b = "") {
        return send("DELETE", path, b);
    }

private:
    httplib::Client http_;
};

}  // namespace simtest
