// The buffer behind the last state chunk: a save fills a fresh self-owning
// buffer from the engine, a restore lends the engine a view of the host's
// bytes. The bytes handed to the host stay valid until the next request or
// the store's end.
#pragma once

#include <cstdint>

#include "SoftSynth.h"

namespace Korvanta {
class StreamBuffer;
}

namespace bridge {

class ChunkStore {
public:
    ChunkStore() = default;
    ~ChunkStore() { drop(); }
    ChunkStore(const ChunkStore&) = delete;
    ChunkStore& operator=(const ChunkStore&) = delete;

    // "effGetChunk": the engine's bytes through `data`, their count as the
    // answer. What the engine wrote before throwing is kept. 0 without an
    // engine, a place for the pointer, or a buffer.
    int32_t save(SoftSynth* engine, void** data);
    // "effSetChunk": a view of the host's bytes (not copied); a null pointer
    // or a count of 0 or less gives an empty stream. Answers 1 whatever the
    // engine made of them, 0 when no buffer could be made.
    int32_t restore(SoftSynth* engine, void* data, int32_t byteSize);
    // Frees the last buffer with the memory it owns; a view leaves the host's bytes alone.
    void drop();

    Korvanta::StreamBuffer* buffer() const { return last; }

private:
    Korvanta::StreamBuffer* last = nullptr;
};

}  // namespace bridge
