// The bearer token that enables device commands.
#pragma once

#include <string>

namespace custovia {
namespace serve {

// The token of an "Authorization: Bearer <token>" header; empty when the
// header has another form.
std::string bearerToken(const std::string& header);
// Equal texts, compared in time that depends on the lengths only.
bool sameToken(const std::string& given, const std::string& expected);

}  // namespace serve
}  // namespace custovia
