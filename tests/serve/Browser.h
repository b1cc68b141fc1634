// Headless Chromium driven through its DevTools protocol (--remote-debugging-pipe:
// commands in on fd 3, answers out on fd 4, each a JSON text ended by a NUL
// byte). Both are one end of a socket pair, so that a browser gone away fails a
// write instead of raising SIGPIPE. One page, in which JavaScript is evaluated.
#pragma once

#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <string>

#include "ServeTestSupport.h"

namespace serve_test {

class Browser {
public:
    Browser() {
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
            return;
        }
        // The browser's end stays open across exec, at 10 or above so that bash
        // (dash reads one digit only) moves it to 3 and 4 whatever they hold.
        const std::string fd = std::to_string(fcntl(ends[1], F_DUPFD, 10));
        close(ends[1]);
        process_ = std::make_unique<ChildProcess>(
            "bash", std::vector<std::string>{
                        "-c",
                        "exec chromium --headless --no-sandbox --disable-gpu --no-first-run "
                        "--remote-debugging-pipe --window-size=1200,900 --user-data-dir='" +
                            dir_.path() + "' about:blank 3<&" + fd + " 4>&" + fd + " " + fd +
                            "<&- 2>'" + dir_.path() + "/stderr'"});
        close(std::stoi(fd));
        fd_ = ends[0];
        timeval limit{30, 0};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        QJsonObject target = call("Target.createTarget", {{"url", "about:blank"}});
        session_ = call("Target.attachToTarget",
                        {{"targetId", target["targetId"]}, {"flatten", true}})["sessionId"]
                       .toString();
    }
    ~Browser() { close(fd_); }
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    bool ready() const { return !session_.isEmpty(); }

    void open(const std::string& url) {
        call("Page.navigate", {{"url", QString::fromStdString(url)}});
    }
    // The value of a JavaScript expression; null on an exception.
    QJsonValue evaluate(const std::string& expression) {
        QJsonObject r =
            call("Runtime.evaluate",
                 {{"expression", QString::fromStdString(expression)}, {"returnByValue", true}});
        return r.contains("exceptionDetails") ? QJsonValue() : r["result"].toObject()["value"];
    }

private:
    // Sends one command, to the page once attached, and returns its result,
    // skipping the events before it; empty when no answer comes.
    QJsonObject call(const QString& method, const QJsonObject& params) {
        QJsonObject message{{"id", ++lastId_}, {"method", method}, {"params", params}};
        if (!session_.isEmpty()) {
            message["sessionId"] = session_;
        }
        QByteArray text = QJsonDocument(message).toJson(QJsonDocument::Compact).append('\0');
        if (send(fd_, text.constData(), static_cast<std::size_t>(text.size()), MSG_NOSIGNAL) !=
            text.size()) {
            return QJsonObject();
        }
        for (std::size_t nul;;) {
            while ((nul = buffer_.find('\0')) == std::string::npos) {
                char chunk[65536];
                ssize_t n = read(fd_, chunk, sizeof chunk);  // at most 30 s, see SO_RCVTIMEO
                if (n <= 0) {
                    return QJsonObject();
                }
                buffer_.append(chunk, static_cast<std::size_t>(n));
            }
            QJsonObject answer = jsonOf(buffer_.substr(0, nul));
            buffer_.erase(0, nul + 1);
            if (answer["id"].toInt() == lastId_) {
                return answer["result"].toObject();
            }
        }
    }

    TempDir dir_;
    std::unique_ptr<ChildProcess> process_;  // after dir_: it ends first
    int fd_ = -1;
    int lastId_ = 0;
    std::string buffer_;
    QString session_;
};

}  // namespace serve_test
