// State chunks: the engine writes and reads its whole state through a memory
// stream the plug-in lends it. The chunk is exactly the engine's bytes.
#include <new>

#include "shell/Velmorant.h"
#include "stream/MemoryStream.h"
#include "stream/StreamBuffer.h"

namespace {

void dropChunk(Korvanta::StreamBuffer*& buffer)
{
    if (buffer != nullptr) {
        buffer->release();  // frees the bytes it owns; a view leaves the host's alone
        buffer = nullptr;
    }
}

}  // namespace

// "effGetChunk": fills a fresh buffer from the engine, hands the host its
// address through `data` and answers its length. The bytes stay valid until
// the next chunk request or the instance's end. An engine that throws while
// saving yields what it wrote before; a buffer that cannot be made answers 0.
int32_t Velmorant::getChunk(void** data, bool /*isPreset*/)
{
    dropChunk(chunkBuffer);
    if (data == nullptr || engine == nullptr)
        return 0;
    try {
        chunkBuffer = new Korvanta::StreamBuffer();
    } catch (...) {
        chunkBuffer = nullptr;
        return 0;
    }
    Korvanta::MemoryStream stream(chunkBuffer);
    try {
        engine->saveState(stream);
    } catch (...) {
    }
    *data = chunkBuffer->data();
    return static_cast<int32_t>(chunkBuffer->size());
}

// "effSetChunk": lends the engine a read-only view of the host's bytes (not
// copied) and answers 1 whatever the engine made of them. A null pointer or a
// negative count gives an empty stream. An exception out of the engine's
// restore stops there: it would otherwise unwind into the host.
int32_t Velmorant::setChunk(void* data, int32_t byteSize, bool /*isPreset*/)
{
    dropChunk(chunkBuffer);
    const bool usable = data != nullptr && byteSize > 0;
    try {
        chunkBuffer =
            new Korvanta::StreamBuffer(usable ? data : nullptr, usable ? static_cast<uint32_t>(byteSize) : 0u);
    } catch (...) {
        chunkBuffer = nullptr;
        return 0;
    }
    if (engine != nullptr) {
        Korvanta::MemoryStream stream(chunkBuffer);
        try {
            engine->loadState(stream);
        } catch (...) {
        }
    }
    return 1;
}
