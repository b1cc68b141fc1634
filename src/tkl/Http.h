// HTTP client over libcurl.
//
// tkl::HttpClientData      a body: bytes and a content type.
// tkl::HttpClientRequest   address and headers of a request.
// tkl::HttpClientResponse  status, received headers and body of a reply.
// tkl::HttpClient          sends one request at a time on one reused
//                          connection and returns the reply. It reports
//                          transfer failures as exceptions but never judges
//                          the HTTP status: 404 or 500 is an ordinary reply.
//
// send() raises
//   tkl::IllegalStateException -205  no libcurl handle ("Error: cURL not initialized.")
//   tkl::SystemException       -305  the header list is rejected
//   tkl::ProtocolException    -3200  the transfer failed: connect, time-out,
//                                    abort(), any libcurl error; the message
//                                    ends with the libcurl result code
// header() of a request or response raises std::out_of_range for a name it
// does not hold.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tkl/Json.h"
#include "tkl/Object.h"

struct curl_slist;

namespace tkl {

class TKL_API HttpClientData : public Object {
public:
    HttpClientData();
    HttpClientData(const HttpClientData& other);
    // Each of these runs the matching set() or append().
    HttpClientData(const char* text, const std::string& type);
    HttpClientData(const std::string& text, const std::string& type);
    HttpClientData(const Object& object, const std::string& type);
    HttpClientData(const uint8_t* bytes, int count, const std::string& type);
    ~HttpClientData() override;

    // The bytes as a string.
    std::string toString() const override;
    // No bytes, empty content type.
    virtual void clear();
    HttpClientData& operator=(const HttpClientData& other);
    // set(text, ""): content type "text/plain".
    virtual void setText(const char* text);
    virtual void setText(const std::string& text);
    // set(object, ""): content type "application/json".
    virtual void setObject(const Object& object);
    virtual int size() const;
    virtual std::string contentType() const;
    // Copies up to `capacity` bytes from the start into `buffer`; returns the
    // count (0 for a null buffer or no capacity).
    virtual int read(uint8_t* buffer, int capacity) const;
    // The bytes parsed as JSON: the top-level object, or an empty one when
    // they hold no JSON object.
    virtual JsonObject toJsonObject() const;
    // Replaces the bytes by the text (null: empty); an empty type gives
    // "text/plain".
    virtual void set(const char* text, const std::string& type);
    virtual void set(const std::string& text, const std::string& type);
    // Appends `count` bytes; an empty type gives "application/octet-stream".
    virtual void append(const uint8_t* bytes, int count, const std::string& type);
    // Replaces the bytes by object.str(); an empty type gives
    // "application/json".
    virtual void set(const Object& object, const std::string& type);

    // The bytes themselves.
    const std::string& bytes() const { return bytes_; }

private:
    friend class HttpClient;

    std::string bytes_;
    std::string contentType_;
};

using HttpHeaders = std::map<std::string, std::string>;

// Files one received header line ("Name: value", blanks around either part
// trimmed) into `headers`. Blank lines, the status line, lines without a
// name and names already present (the first value wins, names compared as
// received) add nothing. Returns whether the line added a header.
bool addHeaderLine(const char* data, std::size_t size, HttpHeaders& headers);

class TKL_API HttpClientRequest : public Object {
public:
    HttpClientRequest();
    explicit HttpClientRequest(const char* url);
    explicit HttpClientRequest(const std::string& url);
    HttpClientRequest(const HttpClientRequest& other);
    ~HttpClientRequest() override;

    // url: "<url>", headers: {"Name":"value", ...}
    std::string toString() const override;
    virtual void clear();
    HttpClientRequest& operator=(const HttpClientRequest& other);
    virtual std::string url() const;
    virtual std::vector<std::string> headerNames() const;
    // Raises std::out_of_range when the header is not set.
    virtual std::string header(const char* name) const;
    virtual std::string header(const std::string& name) const;
    virtual void setUrl(const char* url);
    virtual void setUrl(const std::string& url);
    // An empty name does nothing; an empty value removes the header;
    // otherwise the value replaces an earlier one.
    virtual void setHeader(const char* name, const char* value);
    virtual void setHeader(const std::string& name, const std::string& value);

    const HttpHeaders& headers() const { return headers_; }

private:
    std::string url_;
    HttpHeaders headers_;
};

class TKL_API HttpClientResponse : public Object {
public:
    HttpClientResponse();
    HttpClientResponse(const HttpClientResponse& other);
    ~HttpClientResponse() override;

    // status: "<status>", headers: {"Name":"value", ...}, content: "<bytes>"
    std::string toString() const override;
    // Status 0, no content, no headers.
    virtual void clear();
    HttpClientResponse& operator=(const HttpClientResponse& other);
    virtual const HttpClientData& content() const;
    virtual int32_t status() const;
    virtual std::vector<std::string> headerNames() const;
    // Raises std::out_of_range when the reply did not carry the header.
    virtual std::string header(const char* name) const;
    virtual std::string header(const std::string& name) const;

    const HttpHeaders& headers() const { return headers_; }

private:
    friend class HttpClient;

    HttpClientData content_;
    int32_t status_ = 0;
    HttpHeaders headers_;
};

class TKL_API HttpClient : public Object {
public:
    // Frees a libcurl header list.
    struct TKL_API HeaderListFree {
        void operator()(curl_slist* list) const;
    };
    using HeaderList = std::unique_ptr<curl_slist, HeaderListFree>;

    // Time-out 30000 ms, user agent "HttpClient/1.0". HTTPS peers are not
    // verified until setTlsVerification().
    HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;
    ~HttpClient() override;

    // The request's headers as "Name: value" lines in name order, plus
    // "Content-Type: <data's type>" when data has bytes and the request sets
    // no content type of its own (in any letter case).
    virtual HeaderList buildHeaders(const HttpClientRequest& request,
                                    const HttpClientData& data) const;
    // Whole-transfer limit in milliseconds.
    virtual int32_t timeout() const;
    // Values below 1 are ignored.
    virtual void setTimeout(int32_t milliseconds);
    virtual std::string userAgent() const;
    // A null or empty text gives "CURL/" and the libcurl version built against.
    virtual void setUserAgent(const char* agent);
    virtual void setUserAgent(const std::string& agent);
    virtual HttpClientResponse get(const HttpClientRequest& request);
    virtual HttpClientResponse post(const HttpClientRequest& request, const HttpClientData& data);
    virtual HttpClientResponse put(const HttpClientRequest& request, const HttpClientData& data);
    virtual HttpClientResponse del(const HttpClientRequest& request, const HttpClientData& data);
    // Sends the request with `method`; data with bytes becomes the body,
    // empty data sends none. Returns the reply whatever its status.
    virtual HttpClientResponse send(const char* method, const HttpClientRequest& request,
                                    const HttpClientData& data);
    virtual HttpClientResponse send(const std::string& method, const HttpClientRequest& request,
                                    const HttpClientData& data);

    // HTTPS peers of later connections: with a CA file (PEM) the peer's
    // certificate must chain to one of its certificates, and with verifyHost
    // its name must also match the URL's host. An empty file accepts any
    // certificate again (verifyHost is then ignored).
    void setTlsVerification(const std::string& caFile, bool verifyHost);

    // libcurl result of the last header setup or transfer.
    int lastResult() const { return lastResult_; }
    // Whether the last transfer failed by running into the time-out.
    bool lastTimedOut() const;
    // libcurl's own words for the last failed transfer ("SSL certificate
    // problem: certificate has expired"); empty after a success.
    std::string lastErrorText() const;

    // Abort, safe from any thread: a transfer in progress (connecting,
    // sending or waiting) ends at once with tkl::ProtocolException, and so
    // does every later send() until clearAbort().
    void abort();
    void clearAbort();
    bool isAborted() const { return aborted_; }
    // New connections the transfers of this client have opened so far; a
    // client that keeps its connection alive opens one for many requests.
    long connectCount() const { return connects_; }

private:
    struct Curl;
    // Runs the prepared transfer; returns the libcurl result.
    int perform();

    std::unique_ptr<Curl> curl_;
    int32_t timeout_ = 30000;
    std::string userAgent_;
    std::string caFile_;
    int lastResult_ = 0;
    std::atomic<bool> aborted_{false};
    std::atomic<long> connects_{0};
    std::string received_;
    HttpHeaders receivedHeaders_;
    // The header list of the last transfer and what it was built from: a
    // client sends the same headers on nearly every request, so the list is
    // built again only when they change.
    HeaderList sentHeaders_;
    HttpHeaders sentHeaderSource_;
    std::string sentContentType_;
    bool sentHasBody_ = false;
    bool sentZeroLength_ = false;
    bool hasSentHeaders_ = false;
    // The time-out the handle holds, to set it only when it changes.
    int32_t handleTimeout_ = -1;
};

}  // namespace tkl
