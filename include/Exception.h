// Base of the library's exceptions. Defined inline so that an engine can catch
// the plug-in's exceptions (and the reverse) without linking the library:
// the runtime matches exception types across modules by their mangled names.
#pragma once

#include <cstdlib>
#include <cxxabi.h>
#include <typeinfo>

#include "SharedString.h"

namespace Korvanta {

class Exception {
public:
    virtual ~Exception() {}

    // The readable, namespace-qualified name of the object's own class.
    virtual SharedString typeName() const
    {
        const char* mangled = typeid(*this).name();
        int status = 0;
        char* readable = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
        SharedString name(status == 0 && readable ? readable : mangled);
        std::free(readable);
        return name;
    }
};

}  // namespace Korvanta
