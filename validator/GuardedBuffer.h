// A buffer of exactly the size a host gives, ending where an inaccessible
// page begins: a write (or read) one byte past its end is an access
// violation at once, not quiet damage found later.
#pragma once

#include <cstddef>
#include <string>

namespace validator {

class GuardedBuffer {
public:
    // Filled with `fill`; a size of 0 gives a pointer right at the guard page.
    explicit GuardedBuffer(size_t size, unsigned char fill = 0xA5);
    ~GuardedBuffer();
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    bool valid() const { return data_ != nullptr; }
    char* data() const { return data_; }
    size_t size() const { return size_; }
    void fill(unsigned char value);

    // The length of the text up to its terminator, or -1 when the buffer holds none.
    int terminatedLength() const;
    // The text before the terminator (or the whole buffer when there is none).
    std::string text() const;

private:
    void* region = nullptr;
    size_t regionSize = 0;
    char* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace validator
