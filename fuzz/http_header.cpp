// Received header lines through the HTTP client's header parser. The input is
// cut at line feeds into the lines libcurl would hand over one by one.
#include <string>

#include "FuzzEntries.h"
#include "tkl/Http.h"

namespace custovia {
namespace fuzz {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool trimmedText(const std::string& text) {
    return text.empty() || (!isBlank(text.front()) && !isBlank(text.back()));
}

}  // namespace

void httpHeaders(const uint8_t* data, std::size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    tkl::HttpHeaders headers;
    std::size_t start = 0;
    while (start < size) {
        std::size_t end = start;
        while (end < size && text[end] != '\n') {
            ++end;
        }
        if (end < size) {
            ++end;  // the line feed belongs to the line
        }
        const std::size_t before = headers.size();
        const bool added = tkl::addHeaderLine(text + start, end - start, headers);
        check(added == (headers.size() == before + 1), "result does not match the headers");
        if (added) {
            // The same line again adds nothing: the first value wins.
            const tkl::HttpHeaders kept = headers;
            check(!tkl::addHeaderLine(text + start, end - start, headers) && headers == kept,
                  "a repeated header replaced the first value");
        }
        start = end;
    }
    check(!tkl::addHeaderLine(nullptr, 5, headers), "a null line added a header");

    for (const auto& [name, value] : headers) {
        check(!name.empty(), "empty header name");
        check(name.find(':') == std::string::npos, "header name holds a colon: " + name);
        check(trimmedText(name) && trimmedText(value), "blanks kept around \"" + name + "\"");
    }
}

}  // namespace fuzz
}  // namespace custovia
