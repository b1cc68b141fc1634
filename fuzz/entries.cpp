#include <utility>
#include <vector>

#include "FuzzEntries.h"

namespace custovia {
namespace fuzz {

namespace {

const std::vector<std::pair<std::string, Entry>>& table() {
    static const std::vector<std::pair<std::string, Entry>> entries = {
        {"json_records", &jsonRecords},   {"url", &urlParse},     {"http_header", &httpHeaders},
#ifdef CUSTOVIA_FUZZ_MONIT
        {"monit_answers", &monitAnswers},
#endif
#ifdef CUSTOVIA_FUZZ_SIM
        {"sim_catalogue", &simCatalogue}, {"sim_http", &simHttp},
#endif
    };
    return entries;
}

}  // namespace

Entry entryFor(const std::string& target) {
    for (const auto& [name, entry] : table()) {
        if (name == target) {
            return entry;
        }
    }
    return nullptr;
}

std::vector<std::string> targetNames() {
    std::vector<std::string> names;
    for (const auto& entry : table()) {
        names.push_back(entry.first);
    }
    return names;
}

}  // namespace fuzz
}  // namespace custovia
