// The monitoring client against a service whose answers come from the fuzz
// input: a refresh cycle stores what it can, then every cached read and a
// command run on the result.
#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "FuzzEntries.h"
#include "monit/MonitClient.h"
#include "tkl/Exception.h"

namespace custovia {
namespace fuzz {

namespace {

// Answers by resource, in the order the input gives them (separated by
// 0x1e): own computer, computer list, device list, device detail, model
// description, mail, dialer and shutdown settings, notification settings.
enum Slot { Version, Computers, Devices, Detail, Config, Mail, Dialer, Shutdown, Notify, Slots };

class FakeService {
public:
    FakeService() {
        server_.set_keep_alive_max_count(1000000);
        // Answers go out in several writes: without TCP_NODELAY each would
        // wait for the client's delayed acknowledgement. Accepted sockets
        // inherit the option from the listening one.
        server_.set_socket_options([](socket_t sock) {
            int yes = 1;
            setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
            setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof(yes));
        });
        server_.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
            answer(req, res);
        });
        auto any = [this](const httplib::Request& req, httplib::Response& res) {
            answer(req, res);
        };
        server_.Post(".*", any);
        server_.Put(".*", any);
        server_.Delete(".*", any);
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }

    void setAnswers(std::vector<std::string> answers) {
        std::lock_guard<std::mutex> lock(mutex_);
        answers_ = std::move(answers);
    }

private:
    static bool endsWith(const std::string& text, const std::string& tail) {
        return text.size() >= tail.size() &&
               text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
    }

    static int slotOf(const std::string& path) {
        const std::string remote = "/api/computer/";
        if (path == "/api" || path == "/api/" ||
            (path.compare(0, remote.size(), remote) == 0 &&
             path.find('/', remote.size()) == std::string::npos)) {
            return Version;
        }
        static const std::pair<const char*, int> tails[] = {
            {"/config", Config},    {"/mailcfg", Mail},    {"/dialcfg", Dialer},
            {"/shutcfg", Shutdown}, {"notifycfg", Notify}, {"/api/computer", Computers},
            {"/device", Devices},
        };
        for (const auto& [tail, slot] : tails) {
            if (endsWith(path, tail)) {
                return slot;
            }
        }
        return path.find("/device/") != std::string::npos ? Detail : -1;
    }

    void answer(const httplib::Request& req, httplib::Response& res) {
        if (req.path == "/mon") {
            res.set_content(R"({"uri":"/api"})", "application/json");
            return;
        }
        int slot = slotOf(req.path);
        std::lock_guard<std::mutex> lock(mutex_);
        if (slot >= 0 && slot < static_cast<int>(answers_.size())) {
            res.set_content(answers_[slot], "application/json");
        } else {
            res.set_content("{}", "application/json");
        }
    }

    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> answers_;
};

FakeService& service() {
    // Lives until the process ends: the fuzzer never returns.
    static FakeService* instance = new FakeService();
    return *instance;
}

std::vector<std::string> split(const uint8_t* data, std::size_t size) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0x1e && parts.size() < Slots) {
            parts.emplace_back();
        } else {
            parts.back() += static_cast<char>(data[i]);
        }
    }
    return parts;
}

}  // namespace

void monitAnswers(const uint8_t* data, std::size_t size) {
    FakeService& fake = service();
    fake.setAnswers(split(data, size));

    MonitClient client;
    client.setRefreshInterval(3600 * 1000);
    client.start(fake.url().c_str());
    client.refreshNow();
    client.refreshNow();

    // Whatever the answers were, reads give the cached data or a library
    // error, never anything else.
    for (const auto& [key, computer] : client.getComputers()) {
        (void)computer.toString();
        try {
            for (const auto& [id, device] : client.getDevices(key.c_str())) {
                (void)device.toString();
                try {
                    (void)client.getDevice(key.c_str(), id.c_str()).toString();
                    (void)client.getDeviceConfig(key.c_str(), id.c_str()).toString();
                    (void)client.getRegressive(key.c_str(), id.c_str()).toString();
                    (void)client.getMailConfig(key.c_str(), id.c_str()).toString();
                    (void)client.getDialerConfig(key.c_str(), id.c_str()).toString();
                    (void)client.getShutdownConfig(key.c_str(), id.c_str()).toString();
                    client.changeUser(key.c_str(), id.c_str(), "name", "product");
                } catch (const tkl::Exception&) {
                }
            }
            (void)client.getNotifyConfig(key.c_str()).toString();
            (void)client.getRegressiveList(key.c_str());
        } catch (const tkl::Exception&) {
        }
    }
    client.stop();
    check(client.getComputers().empty(), "a stopped client keeps its cache");
}

}  // namespace fuzz
}  // namespace custovia
