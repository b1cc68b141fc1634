// Entry points shared by the libFuzzer targets and the regression test that
// replays the inputs kept under fuzz/regressions/<target>/.
//
// Each entry takes arbitrary bytes, drives one input-facing part of the
// library with them and checks what must hold for every input. A broken
// invariant throws FuzzFailure: libFuzzer reports the escaping exception as a
// crash, the regression test as a failure. Crashes and memory errors are left
// to the sanitizers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace custovia {
namespace fuzz {

struct FuzzFailure : std::logic_error {
    using std::logic_error::logic_error;
};

// Throws FuzzFailure with `what` when `condition` is false.
inline void check(bool condition, const std::string& what) {
    if (!condition) {
        throw FuzzFailure(what);
    }
}

// JSON text through the JSON model into every record's fromJson, then back
// through toJson, the request text form and the records' text forms.
void jsonRecords(const uint8_t* data, std::size_t size);

// Service address texts through custovia::Url.
void urlParse(const uint8_t* data, std::size_t size);

// Received header lines (the input split at line feeds) through the HTTP
// client's header parser.
void httpHeaders(const uint8_t* data, std::size_t size);

// Requests to the simulator's monitoring interface on a simulated world
// (no network), and fault rule texts. Built when the simulator is.
void simCatalogue(const uint8_t* data, std::size_t size);

// Raw bytes sent as one connection's requests to a running simulator.
void simHttp(const uint8_t* data, std::size_t size);

// The monitoring client's refresh and reads against a service whose answers
// come from the input. Built when the monitoring client is.
void monitAnswers(const uint8_t* data, std::size_t size);

// One entry by target name ("json_records", "url", "http_header", ...);
// null for an unknown name.
using Entry = void (*)(const uint8_t*, std::size_t);
Entry entryFor(const std::string& target);
// Every target name, in the order scripts/fuzz runs them.
std::vector<std::string> targetNames();

}  // namespace fuzz
}  // namespace custovia
