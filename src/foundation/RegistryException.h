// Registry failures inside the foundation. Both are thrown as pointers to heap
// objects; the handler that catches one owns it and deletes it. A handler for
// registry_exception* also receives registry_invalid_value_type*.
#pragma once

#include <cstdint>

namespace Korvanta {

class registry_exception {
public:
    explicit registry_exception(int32_t code) : errorCode(code) {}
    virtual ~registry_exception() {}

    // The system error code of the failed registry call; 0 for a wrong value
    // type and for a DWORD value longer than 4 bytes.
    int32_t code() const { return errorCode; }

private:
    int32_t errorCode;
};

// The value exists but holds a type the operation does not accept.
class registry_invalid_value_type : public registry_exception {
public:
    registry_invalid_value_type() : registry_exception(0) {}
};

}  // namespace Korvanta
