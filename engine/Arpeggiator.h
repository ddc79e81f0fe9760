// The notes held while the arpeggio is on, played upward one at a time.
#pragma once

#include <cstdint>

namespace engine {

class Arpeggiator {
public:
    static constexpr int32_t maxHeld = 32;

    void hold(int32_t note, int32_t velocity);
    void letGo(int32_t note);
    void clear();
    bool isEmpty() const { return heldCount == 0; }

    // The next note of the rising pattern; -1 when nothing is held.
    int32_t nextNote();
    void restartPattern() { step = 0; }
    int32_t velocityOfLastHold() const { return lastVelocity; }

private:
    int32_t held[maxHeld] = {};  // ascending
    int32_t heldCount = 0;
    int32_t step = 0;
    int32_t lastVelocity = 100;
};

}  // namespace engine
