// Both stream directions on one object.
#pragma once

#include "InputStream.h"
#include "OutputStream.h"

namespace Korvanta {

class Stream : public InputStream, public OutputStream {
protected:
    ~Stream() = default;
};

}  // namespace Korvanta
