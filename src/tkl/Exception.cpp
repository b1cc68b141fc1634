#include "tkl/Exception.h"

#include <typeinfo>

namespace tkl {

Exception::Exception(const std::string& message, int32_t code) : message_(message), code_(code) {}

Exception::Exception(int32_t code) : code_(code) {}

Exception::Exception(const std::string& message) : message_(message), code_(defaultCode) {}

Exception::Exception(const std::string& message, const Exception& nested, int32_t code)
    : message_(message), nested_(nested.clone()), code_(code) {}

Exception::Exception(const Exception& other)
    : std::exception(other),
      Object(other),
      message_(other.message_),
      nested_(other.nested_ ? other.nested_->clone() : nullptr),
      code_(other.code_) {}

Exception& Exception::operator=(const Exception& other) {
    if (this != &other) {
        message_ = other.message_;
        nested_.reset(other.nested_ ? other.nested_->clone() : nullptr);
        code_ = other.code_;
    }
    return *this;
}

Exception::~Exception() = default;

const char* Exception::what() const noexcept {
    return nameText();
}

std::string Exception::name() const {
    return nameText();
}

std::string Exception::className() const {
    return typeName(typeid(*this));
}

Exception* Exception::clone() const {
    return new Exception(*this);
}

void Exception::rethrow() const {
    throw *this;
}

std::string Exception::toString() const {
    return name();
}

const char* Exception::nameText() const noexcept {
    return "Exception";
}

#define TKL_IMPLEMENT_EXCEPTION(CLS, NAME)       \
    CLS::~CLS() = default;                       \
    std::string CLS::name() const {              \
        return NAME;                             \
    }                                            \
    std::string CLS::className() const {         \
        return typeName(typeid(*this));          \
    }                                            \
    CLS* CLS::clone() const {                    \
        return new CLS(*this);                   \
    }                                            \
    void CLS::rethrow() const {                  \
        throw *this;                             \
    }                                            \
    const char* CLS::nameText() const noexcept { \
        return NAME;                             \
    }

TKL_IMPLEMENT_EXCEPTION(ApplicationException, "Application error")
TKL_IMPLEMENT_EXCEPTION(LogicException, "Logic error")
TKL_IMPLEMENT_EXCEPTION(IllegalStateException, "Illegal State")
TKL_IMPLEMENT_EXCEPTION(InvalidAccessException, "Invalid Access")
TKL_IMPLEMENT_EXCEPTION(InvalidArgumentException, "Invalid Argument")
TKL_IMPLEMENT_EXCEPTION(NotImplementedException, "Not Implemented")
TKL_IMPLEMENT_EXCEPTION(NullPointerException, "Null pointer")
TKL_IMPLEMENT_EXCEPTION(NullValueException, "Null value")
TKL_IMPLEMENT_EXCEPTION(RangeException, "Invalid range")
TKL_IMPLEMENT_EXCEPTION(UnhandledException, "Unhandled error")
TKL_IMPLEMENT_EXCEPTION(RuntimeException, "Runtime error")
TKL_IMPLEMENT_EXCEPTION(BadCastException, "Bad cast error")
TKL_IMPLEMENT_EXCEPTION(DataException, "Data error")
TKL_IMPLEMENT_EXCEPTION(CircularReferenceException, "Circular reference detected")
TKL_IMPLEMENT_EXCEPTION(DataFormatException, "Invalid data format")
TKL_IMPLEMENT_EXCEPTION(SyntaxException, "Invalid syntax")
TKL_IMPLEMENT_EXCEPTION(ExistsException, "Already exists error")
TKL_IMPLEMENT_EXCEPTION(IOException, "Input/Output error")
TKL_IMPLEMENT_EXCEPTION(FileException, "File error")
TKL_IMPLEMENT_EXCEPTION(CreateFileException, "Creating file error")
TKL_IMPLEMENT_EXCEPTION(FileAccessDeniedException, "Access denied over file")
TKL_IMPLEMENT_EXCEPTION(FileExistsException, "File already exists")
TKL_IMPLEMENT_EXCEPTION(FileNotFoundException, "File not found")
TKL_IMPLEMENT_EXCEPTION(FileNotOpenException, "File not open error")
TKL_IMPLEMENT_EXCEPTION(FileReadOnlyException, "File is read-only")
TKL_IMPLEMENT_EXCEPTION(OpenFileException, "Opening file error")
TKL_IMPLEMENT_EXCEPTION(PathNotFoundException, "Path not found")
TKL_IMPLEMENT_EXCEPTION(ReadFileException, "Reading file error")
TKL_IMPLEMENT_EXCEPTION(WriteFileException, "Writing file error")
TKL_IMPLEMENT_EXCEPTION(ProtocolException, "Protocol error")
TKL_IMPLEMENT_EXCEPTION(LibraryAlreadyLoadedException, "Library already loaded")
TKL_IMPLEMENT_EXCEPTION(LibraryLoadException, "Loading Library error")
TKL_IMPLEMENT_EXCEPTION(NoPermissionException, "No enough permissions")
TKL_IMPLEMENT_EXCEPTION(NoThreadAvailableException, "No thread available")
TKL_IMPLEMENT_EXCEPTION(NotFoundException, "Not Found error")
TKL_IMPLEMENT_EXCEPTION(OutOfMemoryException, "Out Of Memory error")
TKL_IMPLEMENT_EXCEPTION(OverflowException, "Overflow error")
TKL_IMPLEMENT_EXCEPTION(PropertyNotSupportedException, "System property isn't supported")
TKL_IMPLEMENT_EXCEPTION(RegularExpressionException, "Regular Expression error")
TKL_IMPLEMENT_EXCEPTION(SystemException, "System error")
TKL_IMPLEMENT_EXCEPTION(TimeoutException, "Timeout reached")

}  // namespace tkl
