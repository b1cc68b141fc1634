// A libFuzzer target; FUZZ_TARGET names the entry (see FuzzEntries.h).
#include <cstdlib>

#include "FuzzEntries.h"

namespace {

custovia::fuzz::Entry entry = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Records print local times: one fixed zone keeps runs reproducible.
    setenv("TZ", "UTC", 1);
    entry = custovia::fuzz::entryFor(FUZZ_TARGET);
    if (entry == nullptr) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    entry(data, size);
    return 0;
}
