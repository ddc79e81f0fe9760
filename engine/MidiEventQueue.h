// MIDI messages received before a block, waiting for their frame in it.
// Fixed capacity and kept in frame order (stable for equal frames), so the
// audio thread neither allocates nor sorts.
#pragma once

#include <cstdint>
#include <cstring>

namespace engine {

struct QueuedMidi {
    unsigned char bytes[4];
    int32_t frame;
};

class MidiEventQueue {
public:
    static constexpr int32_t capacity = 1024;

    bool isEmpty() const { return head == tail; }
    bool isFull() const { return tail - head == capacity; }
    int32_t size() const { return tail - head; }
    const QueuedMidi& front() const { return events[head]; }

    void popFront()
    {
        if (head < tail) {
            ++head;
        }
        if (head == tail) {
            head = tail = 0;
        }
    }

    void clear() { head = tail = 0; }

    // False when full; the caller decides what to give up.
    bool push(const unsigned char* bytes, int32_t frame)
    {
        if (isFull()) {
            return false;
        }
        if (tail == capacity) {
            std::memmove(events, events + head, static_cast<std::size_t>(tail - head) * sizeof(QueuedMidi));
            tail -= head;
            head = 0;
        }
        int32_t slot = tail;
        while (slot > head && events[slot - 1].frame > frame) {
            events[slot] = events[slot - 1];
            --slot;
        }
        std::memcpy(events[slot].bytes, bytes, 4);
        events[slot].frame = frame;
        ++tail;
        return true;
    }

private:
    QueuedMidi events[capacity];
    int32_t head = 0;
    int32_t tail = 0;
};

}  // namespace engine
