// Streams that also position: RandomAccess is a virtual base so that a class
// deriving from both sides has one position for reading and writing.
#pragma once

#include "InputStream.h"
#include "OutputStream.h"
#include "RandomAccess.h"

namespace Korvanta {

class InputRandomAccessStream : public InputStream, public virtual RandomAccess {
protected:
    ~InputRandomAccessStream() = default;
};

class OutputRandomAccessStream : public OutputStream, public virtual RandomAccess {
protected:
    ~OutputRandomAccessStream() = default;
};

}  // namespace Korvanta
