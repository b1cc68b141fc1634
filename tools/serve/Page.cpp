#include "serve/Page.h"

#include "serve/PageAssets.h"

namespace custovia {
namespace serve {

void addPageRoutes(httplib::Server& server) {
    auto page = [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Cache-Control", "no-cache");
        res.set_header("Content-Security-Policy",
                       "default-src 'self'; style-src 'self' 'unsafe-inline'; "
                       "script-src 'self' 'unsafe-inline'");
        res.set_content(assets::kDashboard, "text/html; charset=utf-8");
    };
    server.Get("/", page);
    server.Get("/index.html", page);
}

}  // namespace serve
}  // namespace custovia
