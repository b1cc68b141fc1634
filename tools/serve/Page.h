// GET /: the dashboard, one page of HTML, CSS and JavaScript kept in the
// binary (tools/serve/assets, embedded at build time), no outside resources.
#pragma once

#include <httplib.h>

namespace custovia {
namespace serve {

void addPageRoutes(httplib::Server& server);

}  // namespace serve
}  // namespace custovia
