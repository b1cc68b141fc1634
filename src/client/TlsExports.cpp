// The exported TLS peer check setting.
#include <fstream>
#include <string>

#include "client/ExportFrame.h"
#include "client/custovia_ext.h"

using namespace custovia;

int32_t CUSTOVIA_CALL setTlsVerification(CustoviaHandle handle, const char* caFile,
                                         int32_t verifyHost) {
    return detail::guarded([&] {
        MultiMonitClient& m = detail::manager(handle, detail::kInvalidArguments);
        const std::string file = caFile != nullptr ? caFile : "";
        if (!file.empty()) {
            // Checked now, so that a wrong path is reported here rather than
            // as a failed transfer on every request later.
            std::ifstream in(file, std::ios::binary);
            detail::require(in.good() && in.peek() != std::ifstream::traits_type::eof(),
                            detail::kInvalidArgument);
        }
        m.setTlsVerification(file, verifyHost != 0);
        return 1;
    });
}
