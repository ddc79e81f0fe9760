#include "Arpeggiator.h"

namespace engine {

void Arpeggiator::hold(int32_t note, int32_t velocity)
{
    lastVelocity = velocity;
    int32_t slot = 0;
    while (slot < heldCount && held[slot] < note) {
        ++slot;
    }
    if ((slot < heldCount && held[slot] == note) || heldCount == maxHeld) {
        return;
    }
    for (int32_t i = heldCount; i > slot; --i) {
        held[i] = held[i - 1];
    }
    held[slot] = note;
    ++heldCount;
}

void Arpeggiator::letGo(int32_t note)
{
    for (int32_t slot = 0; slot < heldCount; ++slot) {
        if (held[slot] == note) {
            for (int32_t i = slot; i + 1 < heldCount; ++i) {
                held[i] = held[i + 1];
            }
            --heldCount;
            return;
        }
    }
}

void Arpeggiator::clear()
{
    heldCount = 0;
    step = 0;
}

int32_t Arpeggiator::nextNote()
{
    if (heldCount == 0) {
        return -1;
    }
    const int32_t note = held[step % heldCount];
    step = (step + 1) % heldCount;
    return note;
}

}  // namespace engine
