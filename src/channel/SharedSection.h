// A named block of memory shared with another process: the creating side
// sizes it, the opening side maps it by name and checks the size it expects.
#pragma once

#include <cstddef>
#include <cstdint>

namespace channel {

class SharedSection {
public:
    SharedSection() = default;
    ~SharedSection() { close(); }
    SharedSection(const SharedSection&) = delete;
    SharedSection& operator=(const SharedSection&) = delete;

    // A fresh zero-filled section of `size` bytes under `name`; false when the
    // name is taken or the system refuses.
    bool create(const char* name, uint32_t size);
    // Maps an existing section; false unless it holds at least `size` bytes.
    bool open(const char* name, uint32_t size);
    void close();

    bool isOpen() const { return view != nullptr; }
    void* data() const { return view; }
    uint32_t size() const { return bytes; }

private:
    void* mapping = nullptr;
    void* view = nullptr;
    uint32_t bytes = 0;
};

}  // namespace channel
