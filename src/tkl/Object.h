// tkl::Object, the root of every class of the library.
#pragma once

#include <string>
#include <typeinfo>

#include "tkl/Export.h"

namespace tkl {

class TKL_API Object {
public:
    virtual ~Object();

    // Debugging text: the run-time type name, "@" and the object's address.
    virtual std::string toString() const;

    // Same as toString(); never overridden.
    std::string str() const { return toString(); }
};

// The platform's name of a dynamic type with one leading '*' removed.
TKL_API std::string typeName(const std::type_info& info);

}  // namespace tkl
