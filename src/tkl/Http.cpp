#include "tkl/Http.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>
#include <new>

#include "tkl/Blanks.h"
#include "tkl/Exception.h"

namespace tkl {

namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// "Name":"value", ... in name order.
std::string headersText(const HttpHeaders& headers) {
    std::string text;
    for (const auto& [name, value] : headers) {
        if (!text.empty()) {
            text += ", ";
        }
        text += '"' + name + "\":\"" + value + '"';
    }
    return text;
}

std::vector<std::string> namesOf(const HttpHeaders& headers) {
    std::vector<std::string> names;
    names.reserve(headers.size());
    for (const auto& entry : headers) {
        names.push_back(entry.first);
    }
    return names;
}

// libcurl's global state, set up while at least one client exists.
std::mutex globalMutex;
int globalUsers = 0;

void acquireGlobal() {
    std::lock_guard<std::mutex> guard(globalMutex);
    if (globalUsers++ == 0) {
        curl_global_init(CURL_GLOBAL_ALL);
    }
}

void releaseGlobal() {
    std::lock_guard<std::mutex> guard(globalMutex);
    if (--globalUsers == 0) {
        curl_global_cleanup();
    }
}

struct EasyFree {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

struct MultiFree {
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};

}  // namespace

bool addHeaderLine(const char* data, std::size_t size, HttpHeaders& headers) {
    if (data == nullptr) {
        return false;
    }
    std::string line = trimBlanks(std::string(data, size));
    std::size_t colon = line.find(':');
    if (line.empty() || colon == std::string::npos) {
        return false;  // blank line or status line
    }
    std::string name = trimBlanks(line.substr(0, colon));
    if (name.empty()) {
        return false;
    }
    // The first value of a name wins.
    return headers.emplace(name, trimBlanks(line.substr(colon + 1))).second;
}

// --- HttpClientData ---------------------------------------------------------

HttpClientData::HttpClientData() = default;

HttpClientData::HttpClientData(const HttpClientData& other) = default;

HttpClientData::HttpClientData(const char* text, const std::string& type) {
    set(text, type);
}

HttpClientData::HttpClientData(const std::string& text, const std::string& type) {
    set(text, type);
}

HttpClientData::HttpClientData(const Object& object, const std::string& type) {
    set(object, type);
}

HttpClientData::HttpClientData(const uint8_t* bytes, int count, const std::string& type) {
    append(bytes, count, type);
}

HttpClientData::~HttpClientData() = default;

std::string HttpClientData::toString() const {
    return bytes_;
}

void HttpClientData::clear() {
    bytes_.clear();
    contentType_.clear();
}

HttpClientData& HttpClientData::operator=(const HttpClientData& other) = default;

void HttpClientData::setText(const char* text) {
    set(text, std::string());
}

void HttpClientData::setText(const std::string& text) {
    set(text, std::string());
}

void HttpClientData::setObject(const Object& object) {
    set(object, std::string());
}

int HttpClientData::size() const {
    return static_cast<int>(bytes_.size());
}

std::string HttpClientData::contentType() const {
    return contentType_;
}

int HttpClientData::read(uint8_t* buffer, int capacity) const {
    if (buffer == nullptr || capacity <= 0) {
        return 0;
    }
    int count = std::min(capacity, size());
    std::copy_n(bytes_.data(), count, buffer);
    return count;
}

JsonObject HttpClientData::toJsonObject() const {
    JsonDocument document;
    document.fromJson(bytes_);
    return document.object();
}

void HttpClientData::set(const char* text, const std::string& type) {
    set(std::string(text != nullptr ? text : ""), type);
}

void HttpClientData::set(const std::string& text, const std::string& type) {
    bytes_ = text;
    contentType_ = type.empty() ? "text/plain" : type;
}

void HttpClientData::append(const uint8_t* bytes, int count, const std::string& type) {
    if (bytes != nullptr && count > 0) {
        bytes_.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(count));
    }
    contentType_ = type.empty() ? "application/octet-stream" : type;
}

void HttpClientData::set(const Object& object, const std::string& type) {
    bytes_ = object.str();
    contentType_ = type.empty() ? "application/json" : type;
}

// --- HttpClientRequest ------------------------------------------------------

HttpClientRequest::HttpClientRequest() = default;

HttpClientRequest::HttpClientRequest(const char* url) {
    setUrl(url);
}

HttpClientRequest::HttpClientRequest(const std::string& url) : url_(url) {}

HttpClientRequest::HttpClientRequest(const HttpClientRequest& other) = default;

HttpClientRequest::~HttpClientRequest() = default;

std::string HttpClientRequest::toString() const {
    return "url: \"" + url_ + "\", headers: {" + headersText(headers_) + "}";
}

void HttpClientRequest::clear() {
    url_.clear();
    headers_.clear();
}

HttpClientRequest& HttpClientRequest::operator=(const HttpClientRequest& other) = default;

std::string HttpClientRequest::url() const {
    return url_;
}

std::vector<std::string> HttpClientRequest::headerNames() const {
    return namesOf(headers_);
}

std::string HttpClientRequest::header(const char* name) const {
    return headers_.at(name != nullptr ? name : "");
}

std::string HttpClientRequest::header(const std::string& name) const {
    return headers_.at(name);
}

void HttpClientRequest::setUrl(const char* url) {
    url_ = url != nullptr ? url : "";
}

void HttpClientRequest::setUrl(const std::string& url) {
    url_ = url;
}

void HttpClientRequest::setHeader(const char* name, const char* value) {
    setHeader(std::string(name != nullptr ? name : ""), std::string(value != nullptr ? value : ""));
}

void HttpClientRequest::setHeader(const std::string& name, const std::string& value) {
    if (name.empty()) {
        return;
    }
    if (value.empty()) {
        headers_.erase(name);
    } else {
        headers_[name] = value;
    }
}

// --- HttpClientResponse -----------------------------------------------------

HttpClientResponse::HttpClientResponse() = default;

HttpClientResponse::HttpClientResponse(const HttpClientResponse& other) = default;

HttpClientResponse::~HttpClientResponse() = default;

std::string HttpClientResponse::toString() const {
    return "status: \"" + std::to_string(status_) + "\", headers: {" + headersText(headers_) +
           "}, content: \"" + content_.toString() + "\"";
}

void HttpClientResponse::clear() {
    status_ = 0;
    content_.clear();
    headers_.clear();
}

HttpClientResponse& HttpClientResponse::operator=(const HttpClientResponse& other) = default;

const HttpClientData& HttpClientResponse::content() const {
    return content_;
}

int32_t HttpClientResponse::status() const {
    return status_;
}

std::vector<std::string> HttpClientResponse::headerNames() const {
    return namesOf(headers_);
}

std::string HttpClientResponse::header(const char* name) const {
    return headers_.at(name != nullptr ? name : "");
}

std::string HttpClientResponse::header(const std::string& name) const {
    return headers_.at(name);
}

// --- HttpClient -------------------------------------------------------------

// The easy handle carries every option of a transfer; the multi handle drives
// it so that abort() can wake a transfer that waits on the network, and keeps
// the connection open between requests.
struct HttpClient::Curl {
    std::unique_ptr<CURLM, MultiFree> multi;
    std::unique_ptr<CURL, EasyFree> easy;
    char error[CURL_ERROR_SIZE] = {0};  // libcurl's text of a failed transfer
};

void HttpClient::HeaderListFree::operator()(curl_slist* list) const {
    curl_slist_free_all(list);
}

namespace {

size_t onBody(char* data, size_t size, size_t count, void* target) {
    size_t n = size * count;
    try {
        static_cast<std::string*>(target)->append(data, n);
    } catch (const std::bad_alloc&) {
        return 0;  // makes libcurl end the transfer with an error
    }
    return n;
}

size_t onHeader(char* data, size_t size, size_t count, void* target) {
    size_t n = size * count;
    addHeaderLine(data, n, *static_cast<HttpHeaders*>(target));
    return n;
}

int onProgress(void* aborted, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<std::atomic<bool>*>(aborted)->load() ? 1 : 0;
}

}  // namespace

HttpClient::HttpClient() : curl_(std::make_unique<Curl>()) {
    acquireGlobal();
    curl_->multi.reset(curl_multi_init());
    if (curl_->multi) {
        curl_->easy.reset(curl_easy_init());
    }
    if (CURL* h = curl_->easy.get()) {
        // Clients run on several threads: no signals for name look-up time-outs.
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_ERRORBUFFER, curl_->error);
        // Only web addresses, whatever text a caller passes as URL.
#if LIBCURL_VERSION_NUM >= 0x075500
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
#else
        curl_easy_setopt(h, CURLOPT_PROTOCOLS, long(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &onBody);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &received_);
        curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &onHeader);
        curl_easy_setopt(h, CURLOPT_HEADERDATA, &receivedHeaders_);
        // Ends a transfer on abort() also while libcurl does not return to us.
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &onProgress);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, &aborted_);
    }
    setUserAgent("HttpClient/1.0");
    // The monitoring services use their own certificates.
    setTlsVerification(std::string(), false);
}

HttpClient::~HttpClient() {
    curl_.reset();
    releaseGlobal();
}

HttpClient::HeaderList HttpClient::buildHeaders(const HttpClientRequest& request,
                                                const HttpClientData& data) const {
    HeaderList list;
    bool hasType = false;
    for (const auto& [name, value] : request.headers()) {
        std::string line = name + ": " + value;
        curl_slist* grown = curl_slist_append(list.get(), line.c_str());
        if (grown == nullptr) {
            return HeaderList();
        }
        list.release();
        list.reset(grown);
        hasType = hasType || lowered(name) == "content-type";
    }
    if (data.size() > 0 && !hasType) {
        std::string line = "Content-Type: " + data.contentType();
        curl_slist* grown = curl_slist_append(list.get(), line.c_str());
        if (grown == nullptr) {
            return HeaderList();
        }
        list.release();
        list.reset(grown);
    }
    return list;
}

int32_t HttpClient::timeout() const {
    return timeout_;
}

void HttpClient::setTimeout(int32_t milliseconds) {
    if (milliseconds > 0) {
        timeout_ = milliseconds;
    }
}

std::string HttpClient::userAgent() const {
    return userAgent_;
}

void HttpClient::setUserAgent(const char* agent) {
    setUserAgent(std::string(agent != nullptr ? agent : ""));
}

void HttpClient::setUserAgent(const std::string& agent) {
    userAgent_ = agent.empty() ? std::string("CURL/") + LIBCURL_VERSION : agent;
    if (curl_->easy) {
        curl_easy_setopt(curl_->easy.get(), CURLOPT_USERAGENT, userAgent_.c_str());
    }
}

void HttpClient::setTlsVerification(const std::string& caFile, bool verifyHost) {
    CURL* h = curl_->easy.get();
    if (h == nullptr) {
        return;
    }
    caFile_ = caFile;
    const bool verify = !caFile_.empty();
    curl_easy_setopt(h, CURLOPT_CAINFO, verify ? caFile_.c_str() : nullptr);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, verify ? 1L : 0L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, verify && verifyHost ? 2L : 0L);
    // schannel (Windows) also checks revocation and refuses a certificate
    // that names no revocation list, as a private authority's usually do:
    // best effort checks where a list is named. Other TLS back ends ignore it.
    curl_easy_setopt(h, CURLOPT_SSL_OPTIONS, verify ? long(CURLSSLOPT_REVOKE_BEST_EFFORT) : 0L);
}

std::string HttpClient::lastErrorText() const {
    return curl_->error;
}

HttpClientResponse HttpClient::get(const HttpClientRequest& request) {
    return send("GET", request, HttpClientData());
}

HttpClientResponse HttpClient::post(const HttpClientRequest& request, const HttpClientData& data) {
    return send("POST", request, data);
}

HttpClientResponse HttpClient::put(const HttpClientRequest& request, const HttpClientData& data) {
    return send("PUT", request, data);
}

HttpClientResponse HttpClient::del(const HttpClientRequest& request, const HttpClientData& data) {
    return send("DELETE", request, data);
}

HttpClientResponse HttpClient::send(const std::string& method, const HttpClientRequest& request,
                                    const HttpClientData& data) {
    return send(method.c_str(), request, data);
}

HttpClientResponse HttpClient::send(const char* method, const HttpClientRequest& request,
                                    const HttpClientData& data) {
    CURL* h = curl_->easy.get();
    if (h == nullptr) {
        throw IllegalStateException("Error: cURL not initialized.",
                                    IllegalStateException::defaultCode);
    }
    HttpClientResponse response;
    receivedHeaders_.clear();
    received_.clear();
    curl_->error[0] = '\0';

    std::string url = request.url();
    // A body set by an earlier request stays on the handle: going back to
    // a plain GET first makes sure it is not sent again. HTTPGET alone makes
    // the method GET, so only other methods need their name set.
    const bool plainGet = method == nullptr || std::strcmp(method, "GET") == 0;
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, plainGet ? nullptr : method);
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    if (handleTimeout_ != timeout_) {
        curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout_));
        handleTimeout_ = timeout_;
    }

    // Without a length the server cannot tell that no body follows and may
    // wait for one until the connection closes.
    const bool zeroLength = data.size() == 0 && !plainGet && std::strcmp(method, "HEAD") != 0;
    const bool hasBody = data.size() > 0;
    if (!hasSentHeaders_ || zeroLength != sentZeroLength_ || hasBody != sentHasBody_ ||
        (hasBody && data.contentType_ != sentContentType_) ||
        request.headers() != sentHeaderSource_) {
        hasSentHeaders_ = false;
        sentHeaders_ = buildHeaders(request, data);
        if (zeroLength && (sentHeaders_ || request.headers().empty())) {
            curl_slist* grown = curl_slist_append(sentHeaders_.get(), "Content-Length: 0");
            if (grown != nullptr) {
                sentHeaders_.release();
                sentHeaders_.reset(grown);
            }
        }
        // A list that could not be built is not kept for the next request.
        if (sentHeaders_ || request.headers().empty()) {
            sentHeaderSource_ = request.headers();
            sentContentType_ = hasBody ? data.contentType_ : std::string();
            sentHasBody_ = hasBody;
            sentZeroLength_ = zeroLength;
            hasSentHeaders_ = true;
        }
    }
    lastResult_ = curl_easy_setopt(h, CURLOPT_HTTPHEADER, sentHeaders_.get());
    if (lastResult_ != CURLE_OK) {
        throw SystemException("Error setting headers in cURL. Code: " + std::to_string(lastResult_),
                              SystemException::defaultCode);
    }
    if (data.size() > 0) {
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(data.size()));
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, data.bytes().data());
    }

    lastResult_ = perform();
    long connects = 0;
    if (curl_easy_getinfo(h, CURLINFO_NUM_CONNECTS, &connects) == CURLE_OK) {
        connects_ += connects;
    }
    // The list stays with the client for the next request; the caller's
    // body does not.
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, nullptr);
    curl_easy_setopt(h, CURLOPT_URL, nullptr);
    if (lastResult_ != CURLE_OK) {
        received_.clear();
        receivedHeaders_.clear();
        throw ProtocolException(
            "Error posting HTTP data in cURL. Code: " + std::to_string(lastResult_),
            ProtocolException::defaultCode);
    }

    // The body moves into the response: the client keeps no copy.
    response.content_.bytes_.swap(received_);
    response.content_.contentType_ = "application/octet-stream";
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    response.status_ = static_cast<int32_t>(status);
    response.headers_.swap(receivedHeaders_);
    received_.clear();
    receivedHeaders_.clear();
    return response;
}

int HttpClient::perform() {
    if (aborted_) {
        return CURLE_ABORTED_BY_CALLBACK;
    }
    CURLM* multi = curl_->multi.get();
    CURL* easy = curl_->easy.get();
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
        return CURLE_FAILED_INIT;
    }
    int result = CURLE_OK;
    for (;;) {
        int active = 0;
        if (curl_multi_perform(multi, &active) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        if (active == 0) {
            int left = 0;
            result = CURLE_FAILED_INIT;
            while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
                if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
                    result = message->data.result;
                }
            }
            break;
        }
        if (aborted_) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        // Returns when the socket is ready, a libcurl timer is due, or
        // abort() wakes it.
        if (curl_multi_poll(multi, nullptr, 0, 1000, nullptr) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        if (aborted_) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
    }
    // Removing an unfinished transfer closes its connection; a finished one
    // stays in the multi handle's cache for the next request.
    curl_multi_remove_handle(multi, easy);
    return result;
}

bool HttpClient::lastTimedOut() const {
    return lastResult_ == CURLE_OPERATION_TIMEDOUT;
}

void HttpClient::abort() {
    aborted_ = true;
    if (curl_ && curl_->multi) {
        curl_multi_wakeup(curl_->multi.get());
    }
}

void HttpClient::clearAbort() {
    aborted_ = false;
}

}  // namespace tkl
