// A string stream whose bytes live in one binary value below
// HKEY_CURRENT_USER\Software: loaded at construction, stored back at
// destruction when not empty. Destroy it as a RegistryStream: the stream
// family has no virtual destructor.
#pragma once

#include <string>

#include "SharedString.h"
#include "foundation/StringStream.h"

struct HKEY__;

namespace Korvanta {

class RegistryStream : public stringStream {
public:
    // keyPath is relative to HKEY_CURRENT_USER\Software and is created when
    // missing. Registry failures are silent and leave the stream empty.
    RegistryStream(const SharedString& keyPath, const SharedString& valueName);
    ~RegistryStream();
    RegistryStream(const RegistryStream&) = delete;
    RegistryStream& operator=(const RegistryStream&) = delete;

private:
    SharedString valueName;
    std::string bytes;  // what the base's target points at
    HKEY__* key;        // null when the key could not be opened
};

}  // namespace Korvanta
