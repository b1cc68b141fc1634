#include "mqtt/Connection.h"

#include <mosquitto.h>

#include <mutex>

namespace custovia {
namespace mqtt {

namespace {

void initLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

std::string errorText(int rc) {
    return rc == MOSQ_ERR_ERRNO ? std::string(mosquitto_strerror(rc)) + " (system error)"
                                : std::string(mosquitto_strerror(rc));
}

}  // namespace

Connection::Connection(const Options& options, const std::string& clientId,
                       const std::string& willTopic, ConnectionCallbacks callbacks)
    : options_(options), callbacks_(std::move(callbacks)) {
    initLibrary();
    // A clean session: everything the gateway needs is published again on
    // every connection, so nothing has to be kept for it at the broker.
    mosq_ = mosquitto_new(clientId.c_str(), true, this);
    if (!mosq_) {
        return;
    }
    mosquitto_connect_callback_set(mosq_, &Connection::onConnect);
    mosquitto_disconnect_callback_set(mosq_, &Connection::onDisconnect);
    mosquitto_publish_callback_set(mosq_, &Connection::onPublish);
    mosquitto_message_callback_set(mosq_, &Connection::onMessage);
    // A failed TLS handshake ends an attempt without a disconnect callback;
    // libmosquitto says why only in its log.
    mosquitto_log_callback_set(mosq_,
                               [](struct mosquitto*, void* self, int level, const char* text) {
                                   auto* c = static_cast<Connection*>(self);
                                   if ((level & MOSQ_LOG_ERR) && text && c->callbacks_.lost) {
                                       c->callbacks_.lost(text);
                                   }
                               });
    // Exponential back-off between attempts, from the first delay up to the bound.
    mosquitto_reconnect_delay_set(mosq_, options_.reconnectMinSec, options_.reconnectMaxSec, true);
    // Many small messages: no waiting for Nagle's algorithm.
    mosquitto_int_option(mosq_, MOSQ_OPT_TCP_NODELAY, 1);
    // Unacknowledged messages in flight; the publisher bounds the total itself.
    mosquitto_max_inflight_messages_set(mosq_, 200);
    static const char kOffline[] = "offline";
    mosquitto_will_set(mosq_, willTopic.c_str(), sizeof kOffline - 1, kOffline, 1, true);
}

Connection::~Connection() {
    stop();
    if (mosq_) {
        mosquitto_destroy(mosq_);
    }
}

std::string Connection::start() {
    if (!mosq_) {
        return "cannot create an MQTT client";
    }
    int rc = MOSQ_ERR_SUCCESS;
    if (!options_.user.empty()) {
        rc = mosquitto_username_pw_set(
            mosq_, options_.user.c_str(),
            options_.passwordFile.empty() ? nullptr : options_.password.c_str());
        if (rc != MOSQ_ERR_SUCCESS) {
            return "MQTT user: " + errorText(rc);
        }
    }
    if (options_.tls) {
        if (options_.caFile.empty()) {
            mosquitto_int_option(mosq_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
            rc = mosquitto_tls_set(mosq_, nullptr, "/etc/ssl/certs", nullptr, nullptr, nullptr);
        } else {
            rc = mosquitto_tls_set(mosq_, options_.caFile.c_str(), nullptr, nullptr, nullptr,
                                   nullptr);
        }
        if (rc != MOSQ_ERR_SUCCESS) {
            return "MQTT TLS: " + errorText(rc);
        }
    }
    rc = mosquitto_loop_start(mosq_);
    if (rc != MOSQ_ERR_SUCCESS) {
        return "MQTT network thread: " + errorText(rc);
    }
    running_ = true;
    // A refused or failed first attempt is retried by the network thread
    // like any lost connection; only an address that cannot work is fatal.
    rc =
        mosquitto_connect_async(mosq_, options_.host.c_str(), options_.port, options_.keepaliveSec);
    if (rc == MOSQ_ERR_INVAL || rc == MOSQ_ERR_EAI) {
        stop();
        return "MQTT broker " + options_.host + ":" + std::to_string(options_.port) + ": " +
               errorText(rc);
    }
    if (rc != MOSQ_ERR_SUCCESS && callbacks_.lost) {
        callbacks_.lost(errorText(rc));
    }
    return std::string();
}

void Connection::stop() {
    if (!running_) {
        return;
    }
    running_ = false;
    int rc = mosquitto_disconnect(mosq_);
    // Not connected: the network thread may sit in a back-off wait or a
    // connection attempt, which only cancelling the thread ends promptly.
    mosquitto_loop_stop(mosq_, rc != MOSQ_ERR_SUCCESS);
}

int Connection::publish(const std::string& topic, const std::string& payload, int qos,
                        bool retain) {
    int mid = 0;
    int rc = mosquitto_publish(mosq_, &mid, topic.c_str(), static_cast<int>(payload.size()),
                               payload.data(), qos, retain);
    if (rc == MOSQ_ERR_SUCCESS) {
        return 1;
    }
    return rc == MOSQ_ERR_INVAL || rc == MOSQ_ERR_PAYLOAD_SIZE || rc == MOSQ_ERR_MALFORMED_UTF8 ||
                   rc == MOSQ_ERR_OVERSIZE_PACKET
               ? -1
               : 0;
}

bool Connection::subscribe(const std::string& pattern, int qos) {
    return mosquitto_subscribe(mosq_, nullptr, pattern.c_str(), qos) == MOSQ_ERR_SUCCESS;
}

void Connection::onConnect(struct mosquitto*, void* self, int rc) {
    auto* c = static_cast<Connection*>(self);
    if (rc == 0) {
        if (c->callbacks_.connected) {
            c->callbacks_.connected();
        }
    } else if (c->callbacks_.lost) {
        c->callbacks_.lost(std::string("refused: ") + mosquitto_connack_string(rc));
    }
}

void Connection::onDisconnect(struct mosquitto*, void* self, int rc) {
    auto* c = static_cast<Connection*>(self);
    if (c->callbacks_.lost) {
        c->callbacks_.lost(rc == 0 ? "disconnected" : "connection lost");
    }
}

void Connection::onPublish(struct mosquitto*, void* self, int mid) {
    auto* c = static_cast<Connection*>(self);
    if (c->callbacks_.acknowledged) {
        c->callbacks_.acknowledged(mid);
    }
}

void Connection::onMessage(struct mosquitto*, void* self, const struct mosquitto_message* m) {
    auto* c = static_cast<Connection*>(self);
    if (!c->callbacks_.message || !m->topic) {
        return;
    }
    Message msg;
    msg.topic = m->topic;
    if (m->payload && m->payloadlen > 0) {
        msg.payload.assign(static_cast<const char*>(m->payload), m->payloadlen);
    }
    msg.retained = m->retain;
    c->callbacks_.message(msg);
}

}  // namespace mqtt
}  // namespace custovia
