// The extension functions of libcustovia the gateway uses, reached through
// one place. They are weak references: a libcustovia without them still
// runs the gateway, which then reports each as -203 (not implemented) and
// falls back to what the core functions tell (a host is up while its data
// are there; no change events).
#pragma once

#include <cstdint>

#include "client/custovia_ext.h"

namespace custovia {
namespace serve {
namespace lib {

constexpr int32_t kNotImplemented = -203;

int32_t hostHealthList(CustoviaHandle handle, CustoviaHealthList* out);
int32_t unreachableAfter(CustoviaHandle handle, int32_t cycles);
int32_t addEventCallback(CustoviaHandle handle, CustoviaEventCallback callback, void* context);
int32_t removeEventCallback(CustoviaHandle handle, int32_t id);
int32_t tlsVerification(CustoviaHandle handle, const char* caFile, int32_t verifyHost);
int32_t refreshHost(CustoviaHandle handle, const char* host, int32_t timeoutMs);

}  // namespace lib
}  // namespace serve
}  // namespace custovia
