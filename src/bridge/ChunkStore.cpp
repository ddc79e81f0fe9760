#include "bridge/ChunkStore.h"

#include "stream/MemoryStream.h"
#include "stream/StreamBuffer.h"

namespace bridge {

void ChunkStore::drop()
{
    if (last != nullptr) {
        last->release();
        last = nullptr;
    }
}

int32_t ChunkStore::save(SoftSynth* engine, void** data)
{
    drop();
    if (data == nullptr || engine == nullptr)
        return 0;
    try {
        last = new Korvanta::StreamBuffer();
    } catch (...) {
        last = nullptr;
        return 0;
    }
    Korvanta::MemoryStream stream(last);
    try {
        engine->saveState(stream);
    } catch (...) {
    }
    *data = last->data();
    return static_cast<int32_t>(last->size());
}

// An exception out of the engine's restore stops here: it would otherwise
// unwind into the host.
int32_t ChunkStore::restore(SoftSynth* engine, void* data, int32_t byteSize)
{
    drop();
    const bool usable = data != nullptr && byteSize > 0;
    try {
        last = new Korvanta::StreamBuffer(usable ? data : nullptr, usable ? static_cast<uint32_t>(byteSize) : 0u);
    } catch (...) {
        last = nullptr;
        return 0;
    }
    if (engine != nullptr) {
        Korvanta::MemoryStream stream(last);
        try {
            engine->loadState(stream);
        } catch (...) {
        }
    }
    return 1;
}

}  // namespace bridge
