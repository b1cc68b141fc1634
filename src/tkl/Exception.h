// The tkl::Exception family: every failure inside the library is one of
// these, thrown by value with a message and a negative code. The exported
// functions hand the code back to their callers, so the codes are part of the
// library's contract:
//
//   InvalidArgumentException   -202   null or empty arguments
//   NotImplementedException    -203
//   IllegalStateException      -205   HTTP client without a transfer handle
//   OutOfMemoryException       -300   an object cannot be created
//   NotFoundException          -302   missing host, device, computer, key...
//   SystemException            -305   a failing operating-system call
//   IOException                -320   client not running, HTTP error replies
//   ProtocolException          -3200  the HTTP transfer itself failed
//   FileException              -3201
//   FileNotOpenException       -32012
//   PathNotFoundException      -32013
//   OpenFileException          -32017
//
// Every class also carries `defaultCode`: the code above, or for classes the
// library never raises a distinct negative code of their own.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "tkl/Object.h"

namespace tkl {

class TKL_API Exception : public std::exception, public Object {
public:
    static constexpr int32_t defaultCode = -100;

    Exception(const std::string& message, int32_t code);
    explicit Exception(int32_t code);
    explicit Exception(const std::string& message);
    // Attaches a copy of `nested` as the cause.
    Exception(const std::string& message, const Exception& nested, int32_t code);
    Exception(const Exception& other);
    Exception& operator=(const Exception& other);
    ~Exception() override;

    // The class's descriptive name (not the message); valid while *this lives.
    const char* what() const noexcept override;
    virtual std::string name() const;
    // The run-time type name of the dynamic class.
    virtual std::string className() const;
    // A heap copy of the same dynamic class.
    virtual Exception* clone() const;
    // Throws a copy typed as the dynamic class.
    [[noreturn]] virtual void rethrow() const;
    // Same as name().
    std::string toString() const override;

    const std::string& message() const { return message_; }
    int32_t code() const { return code_; }
    const Exception* nested() const { return nested_.get(); }

protected:
    virtual const char* nameText() const noexcept;

private:
    std::string message_;
    std::unique_ptr<Exception> nested_;
    int32_t code_;
};

// Declares one class of the family: its base, its code and the constructors,
// copy and virtual overrides every class has.
#define TKL_DECLARE_EXCEPTION(CLS, BASE, CODE)                                   \
    class TKL_API CLS : public BASE {                                            \
    public:                                                                      \
        static constexpr int32_t defaultCode = CODE;                             \
        CLS(const std::string& message, int32_t code) : BASE(message, code) {}   \
        explicit CLS(int32_t code) : BASE(code) {}                               \
        explicit CLS(const std::string& message) : BASE(message, defaultCode) {} \
        CLS(const CLS& other) = default;                                         \
        CLS& operator=(const CLS& other) = default;                              \
        ~CLS() override;                                                         \
        std::string name() const override;                                       \
        std::string className() const override;                                  \
        CLS* clone() const override;                                             \
        [[noreturn]] void rethrow() const override;                              \
                                                                                 \
    protected:                                                                   \
        const char* nameText() const noexcept override;                          \
    };

TKL_DECLARE_EXCEPTION(ApplicationException, Exception, -101)
TKL_DECLARE_EXCEPTION(LogicException, Exception, -200)
TKL_DECLARE_EXCEPTION(IllegalStateException, LogicException, -205)
TKL_DECLARE_EXCEPTION(InvalidAccessException, LogicException, -204)
TKL_DECLARE_EXCEPTION(InvalidArgumentException, LogicException, -202)
TKL_DECLARE_EXCEPTION(NotImplementedException, LogicException, -203)
TKL_DECLARE_EXCEPTION(NullPointerException, LogicException, -201)
TKL_DECLARE_EXCEPTION(NullValueException, LogicException, -206)
TKL_DECLARE_EXCEPTION(RangeException, LogicException, -207)
TKL_DECLARE_EXCEPTION(UnhandledException, LogicException, -208)
TKL_DECLARE_EXCEPTION(RuntimeException, Exception, -301)
TKL_DECLARE_EXCEPTION(BadCastException, RuntimeException, -303)
TKL_DECLARE_EXCEPTION(DataException, RuntimeException, -304)
TKL_DECLARE_EXCEPTION(CircularReferenceException, DataException, -3040)
TKL_DECLARE_EXCEPTION(DataFormatException, DataException, -3041)
TKL_DECLARE_EXCEPTION(SyntaxException, DataException, -3042)
TKL_DECLARE_EXCEPTION(ExistsException, RuntimeException, -306)
TKL_DECLARE_EXCEPTION(IOException, RuntimeException, -320)
TKL_DECLARE_EXCEPTION(FileException, IOException, -3201)
TKL_DECLARE_EXCEPTION(CreateFileException, FileException, -32010)
TKL_DECLARE_EXCEPTION(FileAccessDeniedException, FileException, -32011)
TKL_DECLARE_EXCEPTION(FileExistsException, FileException, -32014)
TKL_DECLARE_EXCEPTION(FileNotFoundException, FileException, -32015)
TKL_DECLARE_EXCEPTION(FileNotOpenException, FileException, -32012)
TKL_DECLARE_EXCEPTION(FileReadOnlyException, FileException, -32016)
TKL_DECLARE_EXCEPTION(OpenFileException, FileException, -32017)
TKL_DECLARE_EXCEPTION(PathNotFoundException, FileException, -32013)
TKL_DECLARE_EXCEPTION(ReadFileException, FileException, -32018)
TKL_DECLARE_EXCEPTION(WriteFileException, FileException, -32019)
TKL_DECLARE_EXCEPTION(ProtocolException, IOException, -3200)
TKL_DECLARE_EXCEPTION(LibraryAlreadyLoadedException, RuntimeException, -307)
TKL_DECLARE_EXCEPTION(LibraryLoadException, RuntimeException, -308)
TKL_DECLARE_EXCEPTION(NoPermissionException, RuntimeException, -309)
TKL_DECLARE_EXCEPTION(NoThreadAvailableException, RuntimeException, -310)
TKL_DECLARE_EXCEPTION(NotFoundException, RuntimeException, -302)
TKL_DECLARE_EXCEPTION(OutOfMemoryException, RuntimeException, -300)
TKL_DECLARE_EXCEPTION(OverflowException, RuntimeException, -311)
TKL_DECLARE_EXCEPTION(PropertyNotSupportedException, RuntimeException, -312)
TKL_DECLARE_EXCEPTION(RegularExpressionException, RuntimeException, -313)
TKL_DECLARE_EXCEPTION(SystemException, RuntimeException, -305)
TKL_DECLARE_EXCEPTION(TimeoutException, RuntimeException, -314)

}  // namespace tkl
