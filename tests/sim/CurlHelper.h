#pragma once
// A small libcurl client for the simulator tests: one keep-alive handle,
// JSON answers parsed with Qt.

#include <curl/curl.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <string>

namespace simtest {

struct Reply {
    long status = 0;  // 0: no HTTP answer at all
    CURLcode code = CURLE_OK;
    std::string body;
    QJsonObject json() const {
        return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
    }
    bool isJson() const {
        QJsonParseError e;
        QJsonDocument::fromJson(QByteArray::fromStdString(body), &e);
        return e.error == QJsonParseError::NoError;
    }
};

class Client {
public:
    explicit Client(std::string base) : base_(std::move(base)), curl_(curl_easy_init()) {}
    ~Client() { curl_easy_cleanup(curl_); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    void setTimeoutMs(long ms) { timeoutMs_ = ms; }
    // HTTPS: the peer must chain to this file's certificates; by default any
    // certificate is accepted.
    void setCaFile(const std::string& file) { caFile_ = file; }

    Reply send(const std::string& method, const std::string& path, const std::string& body = "",
               bool withBody = false) {
        Reply r;
        std::string url = base_ + path;
        curl_slist* headers = curl_slist_append(nullptr, "Accept: application/json");
        headers = curl_slist_append(headers, "Content-Type: application/json");
        headers = curl_slist_append(headers, "User-Agent: simtest/1.0");
        curl_easy_reset(curl_);
        curl_easy_setopt(curl_, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl_, CURLOPT_TIMEOUT_MS, timeoutMs_);
        curl_easy_setopt(curl_, CURLOPT_CUSTOMREQUEST, method.c_str());
        if (caFile_.empty()) {
            curl_easy_setopt(curl_, CURLOPT_SSL_VERIFYPEER, 0L);
            curl_easy_setopt(curl_, CURLOPT_SSL_VERIFYHOST, 0L);
        } else {
            curl_easy_setopt(curl_, CURLOPT_CAINFO, caFile_.c_str());
        }
        if (withBody || !body.empty()) {
            curl_easy_setopt(curl_, CURLOPT_POSTFIELDS, body.c_str());
            curl_easy_setopt(curl_, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
        }
        curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &Client::collect);
        curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &r.body);
        r.code = curl_easy_perform(curl_);
        curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &r.status);
        curl_slist_free_all(headers);
        return r;
    }

    Reply get(const std::string& path) { return send("GET", path); }
    Reply put(const std::string& path, const std::string& body) {
        return send("PUT", path, body, true);
    }
    Reply post(const std::string& path, const std::string& body) {
        return send("POST", path, body, true);
    }
    Reply del(const std::string& path, const std::string& body = "") {
        return send("DELETE", path, body, !body.empty());
    }

private:
    static size_t collect(char* data, size_t size, size_t n, void* out) {
        static_cast<std::string*>(out)->append(data, size * n);
        return size * n;
    }

    std::string base_;
    std::string caFile_;
    CURL* curl_;
    long timeoutMs_ = 10000;
};

}  // namespace simtest
