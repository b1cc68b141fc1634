// tkl::System and tkl::OsInfo: operating-system services (error texts,
// clocks, sleeping, the administrator check, the executable's path) and a
// description of the running operating system.
//
// The services are static. Their platform parts live in System_<platform>.cpp;
// further groups of services (processes, power actions) add their own
// System_<group>_<platform>.cpp files and declare their operations below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tkl/Object.h"

namespace tkl {

// Description of an operating system: family, architecture, names, version.
// A plain value type; `reset` empties it.
class TKL_API OsInfo : public Object {
public:
    // Processor architecture codes.
    enum Architecture : uint32_t {
        UnknownArchitecture = 0,
        X86 = 1,
        Amd64 = 2,
        Ia64 = 3,
        Sparc = 4,
        Sparc64 = 5,
        Mips = 6,
        Alpha = 7,
        Ppc = 8,
        Arm = 9,
        Arm64 = 10,
    };

    // Operating-system family codes.
    enum Platform : uint32_t {
        UnknownPlatform = 0,
        Windows32 = 1,  // Windows 95/98/ME
        WindowsNt = 2,
        RedHatLinux = 3,
        DebianLinux = 4,
        SlackwareLinux = 5,
        GentooLinux = 6,
        OtherLinux = 7,
        MacOs = 8,
        Solaris = 9,
        FreeBsd = 10,
        NetBsd = 11,
        OpenBsd = 12,
        OtherUnix = 13,
    };

    OsInfo();
    OsInfo(const OsInfo& other) = default;
    OsInfo& operator=(const OsInfo& other) = default;
    ~OsInfo() override;

    // The full name, then ", " and the service pack when there is one, then
    // ", 64 bits" on a 64-bit processor.
    std::string toString() const override;
    // Codes 0, flags false, texts empty.
    virtual void reset();
    virtual void assign(const OsInfo& other);

    virtual uint32_t getArchitecture() const { return architecture; }
    // "x86", "amd64", ... or "unknown".
    virtual std::string getArchitectureName() const;
    virtual uint32_t getPlatform() const { return platform; }
    // "Microsoft Windows NT Platform", "Debian GNU/Linux Based Distro", ... or
    // "Unknown OS Platform".
    virtual std::string getPlatformName() const;
    virtual bool isWindows() const;
    virtual bool isUnix() const;
    virtual bool isLinux() const;
    virtual bool isBsd() const;
    virtual bool isSolaris() const;
    virtual bool isMac() const;
    virtual std::string getName() const { return name; }
    virtual std::string getFullName() const { return fullName; }
    virtual std::string getVersion() const { return version; }
    virtual std::string getBuild() const { return build; }
    virtual std::string getServicePack() const { return servicePack; }
    virtual std::string getServicePackVersion() const { return servicePackVersion; }
    virtual bool isServer() const { return server; }
    virtual bool is64Bit() const { return is64BitArch; }
    virtual bool is32Bit() const { return !is64BitArch; }

    // Names of the codes above.
    static std::string architectureName(uint32_t code);
    static std::string platformName(uint32_t code);

    uint32_t architecture;
    uint32_t platform;
    bool server;
    // Whether the processor architecture is a 64-bit one.
    bool is64BitArch;
    // What a person calls the system, e.g. "Debian GNU/Linux 12 (bookworm)" or
    // "Microsoft Windows 7 Professional".
    std::string fullName;
    // The name without edition, e.g. "Debian GNU/Linux", "Microsoft Windows 7".
    std::string name;
    // Major version, with ".minor" when the minor version is not 0.
    std::string version;
    // Build number (Windows) or kernel release (Unix).
    std::string build;
    std::string servicePack;
    std::string servicePackVersion;
};

class TKL_API System : public Object {
public:
    System();
    ~System() override;

    // ---- Errors ----------------------------------------------------------------
    // The calling thread's last system error code.
    static uint32_t getLastError();
    // The system's text for an error code, without surrounding white space; ""
    // for a code the system has no text for.
    static std::string getErrorText(uint32_t code);
    static std::string getLastErrorText();

    // ---- Clocks and sleeping ----------------------------------------------------
    // Milliseconds of a monotonic clock in 32 bits: wraps to 0 after about
    // 49.7 days, so compare tick values by unsigned difference.
    static uint32_t getTicks();
    // Microseconds of the same monotonic clock in 64 bits.
    static uint64_t getMicroseconds();
    // Sleeps at least the given time, resuming after signal interruptions.
    static void sleep(uint32_t milliseconds);
    static void usleep(uint64_t microseconds);

    // ---- Identity ------------------------------------------------------------------
    // Whether the process runs with administrator rights (root on Unix).
    static bool isAdmin();
    // Whether this is Windows NT 5 (2000) or later.
    static bool isNt5OrLater();
    // Windows: the platform identifier (1 for 95/98/ME, 2 for NT). Elsewhere the
    // platform code of getOsInfo().
    static int32_t getPlatformId();
    // The full path of the running executable. Throws PathNotFoundException
    // (-32013) when the system cannot tell.
    static std::string getExecutableFileName();
    // A fresh description of the operating system; safe to call from several
    // threads at once. Throws SystemException (-305) when the system refuses
    // to describe itself.
    static OsInfo getOsInfo();

    // ---- Processes -------------------------------------------------------------------
    // A started process: its process id on POSIX systems, its process handle on
    // Windows. The caller owns it and gives it back with closeProcess, also
    // after waiting. On Windows the handle stays valid until then, so waiting
    // again on an ended process returns the same exit code. On POSIX systems
    // the wait that returns the exit code reaps the process: the id is then
    // no longer ours, and a later wait throws.
    using ProcessHandle = intptr_t;
    // Show mode that leaves the window mode to the system (no window of its
    // own). Other show modes are window commands; POSIX systems ignore them.
    static constexpr int32_t ShowDefault = 10;
    // Longest command line accepted, in characters.
    static constexpr size_t MaxCommandLine = 259;

    // Starts the command line: the program (searched in PATH) followed by its
    // arguments, separated by blanks; double quotes group an argument and are
    // removed, a backslash makes the quote after it a literal one. The process
    // runs in a session of its own. Throws InvalidArgumentException (-202) for
    // a null, empty or too long command line (never cut short) and
    // SystemException (-305) when the program cannot be started.
    static ProcessHandle execute(const char* cmdline, int32_t showMode = ShowDefault);
    static ProcessHandle execute(const std::string& cmdline, int32_t showMode = ShowDefault);
    // Starts the command line for the interactive user (the user logged on at
    // the console): every double quote is removed and the text is run by the
    // shell. Runs as the caller when no such user is found or the caller may
    // not act for that user. Throws as execute does.
    static ProcessHandle executeAsUser(const char* cmdline, int32_t showMode = ShowDefault);
    static ProcessHandle executeAsUser(const std::string& cmdline, int32_t showMode = ShowDefault);
    // The process's exit code (128 + signal number when a signal ended it),
    // or -1 while it still runs: at once for timeout 0, after up to `timeout`
    // milliseconds otherwise, without limit for a negative timeout. Throws
    // SystemException (-305) for a handle that is not a process of ours.
    static int32_t waitProcess(ProcessHandle process, int32_t timeout);
    // Gives a handle of execute or executeAsUser back: closes it on Windows
    // (the process itself runs on); nothing to release on POSIX systems. A
    // handle is closed once.
    static void closeProcess(ProcessHandle process);
    // execute or executeAsUser, then waitProcess, then closeProcess: a process
    // still running when the time-out ends runs on without a handle.
    static int32_t executeAndWait(const char* cmdline, int32_t showMode, int32_t timeout);
    static int32_t executeAndWait(const std::string& cmdline, int32_t showMode, int32_t timeout);
    static int32_t executeAsUserAndWait(const char* cmdline, int32_t showMode, int32_t timeout);
    static int32_t executeAsUserAndWait(const std::string& cmdline, int32_t showMode,
                                        int32_t timeout);

    // ---- Power actions -----------------------------------------------------------------
    // Each throws SystemException (-305) when the system refuses.
    // Makes sure the process may shut the system down (Windows privilege;
    // nothing to do on POSIX systems, where the action itself checks rights).
    static void enableShutdownPrivilege();
    // Suspends the system to disk.
    static void hibernate();
    // Shuts the system down and powers it off without waiting for programs
    // to agree.
    static void shutdown();
    // Restarts the system without waiting for programs to agree.
    static void reboot();
};

}  // namespace tkl
