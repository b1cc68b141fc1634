#include "tkl/Object.h"

#include <sstream>

namespace tkl {

Object::~Object() = default;

std::string Object::toString() const {
    std::ostringstream out;
    out << typeName(typeid(*this)) << "@" << static_cast<const void*>(this);
    return out.str();
}

std::string typeName(const std::type_info& info) {
    const char* name = info.name();
    if (*name == '*') {
        ++name;
    }
    return name;
}

}  // namespace tkl
