// Headless Chromium driven through its DevTools protocol over a pipe pair
// (--remote-debugging-pipe: commands in on fd 3, answers out on fd 4, each
// message a JSON text ended by a NUL byte). One page; JavaScript evaluated
// in it returns its value as JSON.
#pragma once

#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "ServeTestSupport.h"

namespace serve_test {

class Browser {
public:
    Browser() {
        int toBrowser[2], fromBrowser[2];
        if (pipe2(toBrowser, O_CLOEXEC) != 0 || pipe2(fromBrowser, O_CLOEXEC) != 0) {
            return;
        }
        process_ = std::make_unique<Child>(
            "chromium",
            std::vector<std::string>{"--headless", "--no-sandbox", "--disable-gpu",
                                     "--no-first-run", "--remote-debugging-pipe",
                                     "--window-size=1200,900", "--user-data-dir=" + dir_.path(),
                                     "about:blank"},
            [&] {
                dup2(toBrowser[0], 3);
                dup2(fromBrowser[1], 4);
            });
        close(toBrowser[0]);
        close(fromBrowser[1]);
        in_ = toBrowser[1];
        out_ = fromBrowser[0];
        QJsonObject target = call("Target.createTarget", {{"url", "about:blank"}});
        QJsonObject attached =
            call("Target.attachToTarget", {{"targetId", target["targetId"]}, {"flatten", true}});
        session_ = attached["sessionId"].toString();
    }
    ~Browser() {
        close(in_);
        close(out_);
    }
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    bool ready() const { return !session_.isEmpty(); }

    void open(const std::string& url) {
        call("Page.navigate", {{"url", QString::fromStdString(url)}}, session_);
    }
    // The value of a JavaScript expression; null on an exception.
    QJsonValue evaluate(const std::string& expression) {
        QJsonObject r =
            call("Runtime.evaluate",
                 {{"expression", QString::fromStdString(expression)}, {"returnByValue", true}},
                 session_);
        if (r.contains("exceptionDetails")) {
            return QJsonValue();
        }
        return r["result"].toObject()["value"];
    }

private:
    // Sends one command and returns its result, skipping the events that
    // come before it; empty after 30 s without an answer.
    QJsonObject call(const QString& method, const QJsonObject& params,
                     const QString& session = QString()) {
        QJsonObject message{{"id", ++lastId_}, {"method", method}, {"params", params}};
        if (!session.isEmpty()) {
            message["sessionId"] = session;
        }
        QByteArray text = QJsonDocument(message).toJson(QJsonDocument::Compact);
        text.append('\0');
        if (in_ < 0 ||
            write(in_, text.constData(), static_cast<std::size_t>(text.size())) != text.size()) {
            return QJsonObject();
        }
        auto end = Clock::now() + std::chrono::seconds(30);
        while (Clock::now() < end) {
            std::size_t nul = buffer_.find('\0');
            if (nul == std::string::npos) {
                pollfd p{out_, POLLIN, 0};
                if (poll(&p, 1, 200) > 0) {
                    char chunk[65536];
                    ssize_t n = read(out_, chunk, sizeof chunk);
                    if (n <= 0) {
                        return QJsonObject();
                    }
                    buffer_.append(chunk, static_cast<std::size_t>(n));
                }
                continue;
            }
            QJsonObject answer =
                QJsonDocument::fromJson(QByteArray::fromStdString(buffer_.substr(0, nul))).object();
            buffer_.erase(0, nul + 1);
            if (answer["id"].toInt() == lastId_) {
                return answer["result"].toObject();
            }
        }
        return QJsonObject();
    }

    TempDir dir_;
    std::unique_ptr<Child> process_;  // after dir_: it ends first
    int in_ = -1;
    int out_ = -1;
    int lastId_ = 0;
    std::string buffer_;
    QString session_;
};

}  // namespace serve_test
