// The portable part of the process launchers: argument checks, command-line
// splitting and the launch-and-wait combinations.
#include "tkl/Exception.h"
#include "tkl/System.h"
#include "tkl/SystemProcess.h"

namespace tkl {
namespace process {

std::string checkedCommandLine(const char* cmdline) {
    if (cmdline == nullptr || *cmdline == '\0') {
        throw InvalidArgumentException("Empty \"cmdline\" argument.",
                                       InvalidArgumentException::defaultCode);
    }
    std::string text(cmdline);
    // Refused rather than cut: a cut command line could run something else.
    if (text.size() > System::MaxCommandLine) {
        throw InvalidArgumentException(
            "Command line longer than " + std::to_string(System::MaxCommandLine) + " characters.",
            InvalidArgumentException::defaultCode);
    }
    return text;
}

std::string withoutQuotes(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c != '"') {
            result += c;
        }
    }
    return result;
}

std::vector<std::string> splitCommandLine(const std::string& cmdline) {
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (size_t i = 0; i < cmdline.size(); ++i) {
        char c = cmdline[i];
        if (c == '\\') {
            size_t backslashes = 0;
            while (i < cmdline.size() && cmdline[i] == '\\') {
                ++backslashes;
                ++i;
            }
            inArgument = true;
            if (i < cmdline.size() && cmdline[i] == '"') {
                current.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    current += '"';
                } else {
                    quoted = !quoted;
                }
            } else {
                current.append(backslashes, '\\');
                --i;  // the character after the backslashes is read next
            }
        } else if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inArgument) {
                args.push_back(current);
                current.clear();
                inArgument = false;
            }
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) {
        args.push_back(current);
    }
    return args;
}

}  // namespace process

System::ProcessHandle System::execute(const std::string& cmdline, int32_t showMode) {
    return execute(cmdline.c_str(), showMode);
}

System::ProcessHandle System::executeAsUser(const std::string& cmdline, int32_t showMode) {
    return executeAsUser(cmdline.c_str(), showMode);
}

namespace {

// Waits for a process this call started and gives its handle back, also
// when the wait throws.
int32_t waitAndClose(System::ProcessHandle process, int32_t timeout) {
    struct Closer {
        System::ProcessHandle process;
        ~Closer() { System::closeProcess(process); }
    } closer{process};
    return System::waitProcess(process, timeout);
}

}  // namespace

int32_t System::executeAndWait(const char* cmdline, int32_t showMode, int32_t timeout) {
    return waitAndClose(execute(cmdline, showMode), timeout);
}

int32_t System::executeAndWait(const std::string& cmdline, int32_t showMode, int32_t timeout) {
    return executeAndWait(cmdline.c_str(), showMode, timeout);
}

int32_t System::executeAsUserAndWait(const char* cmdline, int32_t showMode, int32_t timeout) {
    return waitAndClose(executeAsUser(cmdline, showMode), timeout);
}

int32_t System::executeAsUserAndWait(const std::string& cmdline, int32_t showMode,
                                     int32_t timeout) {
    return executeAsUserAndWait(cmdline.c_str(), showMode, timeout);
}

}  // namespace tkl
