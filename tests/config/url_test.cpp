#include <gtest/gtest.h>

#include "config/Url.h"

using custovia::Url;

TEST(Url, ParseAndTextForms) {
    struct Case {
        const char* text;
        bool ssl;
        const char* host;
        uint32_t port;
    } cases[] = {
        {"", false, "localhost", 4470},           {"http://Server1:4470", false, "server1", 4470},
        {"https://Host-B", true, "host-b", 80},   {"myhost", false, "myhost", 80},
        {"myhost:8080/x", false, "myhost", 8080}, {"http://myhost/api", false, "myhost/api", 80},
        {"http://", false, "localhost", 4470},    {"https://", true, "localhost", 4470},
        {"HTTPS://Host:", true, "host", 80},      {"myhost:99999999999", false, "myhost", 80},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Url url(c.text);
        EXPECT_EQ(url.ssl, c.ssl);
        EXPECT_EQ(url.host, c.host);
        EXPECT_EQ(url.port, c.port);
    }
    Url url("https://a:1");
    url.parse(static_cast<const char*>(nullptr));
    EXPECT_EQ(url.url(), "http://localhost:4470");
    EXPECT_EQ(url.toString(),
              "url=\"http://localhost:4470\", host=\"localhost\", port=4470, ssl=0");
    url = std::string("other:81");
    EXPECT_EQ(url.url(), "http://other:81");

    // Port 80 and port 0 are left out, whatever the scheme; no host, no address.
    url.ssl = true;
    url.port = 80;
    EXPECT_EQ(url.url(), "https://other");
    url.port = 443;
    EXPECT_EQ(url.url(), "https://other:443");
    url.port = 0;
    EXPECT_EQ(url.url(), "https://other");
    url.host.clear();
    EXPECT_EQ(url.url(), "");
}
