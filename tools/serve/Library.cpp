#include "serve/Library.h"

// Weak: resolved from libcustovia when it has them, null otherwise.
#pragma weak getHostHealthList
#pragma weak setUnreachableAfter
#pragma weak addEventCallback
#pragma weak removeEventCallback
#pragma weak setTlsVerification
#pragma weak refreshHost

namespace custovia {
namespace serve {
namespace lib {

namespace {

template <typename F>
bool present(F* function) {
    return reinterpret_cast<void*>(function) != nullptr;
}

}  // namespace

int32_t hostHealthList(CustoviaHandle handle, CustoviaHealthList* out) {
    return present(&::getHostHealthList) ? ::getHostHealthList(handle, out) : kNotImplemented;
}

int32_t unreachableAfter(CustoviaHandle handle, int32_t cycles) {
    return present(&::setUnreachableAfter) ? ::setUnreachableAfter(handle, cycles)
                                           : kNotImplemented;
}

int32_t addEventCallback(CustoviaHandle handle, CustoviaEventCallback callback, void* context) {
    return present(&::addEventCallback) ? ::addEventCallback(handle, callback, context)
                                        : kNotImplemented;
}

int32_t removeEventCallback(CustoviaHandle handle, int32_t id) {
    return present(&::removeEventCallback) ? ::removeEventCallback(handle, id) : kNotImplemented;
}

int32_t tlsVerification(CustoviaHandle handle, const char* caFile, int32_t verifyHost) {
    return present(&::setTlsVerification) ? ::setTlsVerification(handle, caFile, verifyHost)
                                          : kNotImplemented;
}

int32_t refreshHost(CustoviaHandle handle, const char* host, int32_t timeoutMs) {
    return present(&::refreshHost) ? ::refreshHost(handle, host, timeoutMs) : kNotImplemented;
}

}  // namespace lib
}  // namespace serve
}  // namespace custovia
