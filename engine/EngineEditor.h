// The engine's window: one row per parameter (name, a bar to drag, the
// displayed value), a child of the window the host gives. Plain Win32 GDI;
// every call comes from the host's user-interface thread.
#pragma once

#include <cstdint>

#include "Parameters.h"

namespace engine {

class SynthEngine;

class EngineEditor {
public:
    static constexpr int32_t width = 440;
    static constexpr int32_t titleHeight = 36;
    static constexpr int32_t rowHeight = 24;
    static constexpr int32_t barLeft = 96;
    static constexpr int32_t barWidth = 220;
    static constexpr int32_t height = titleHeight + ParameterCount * rowHeight + 12;

    explicit EngineEditor(SynthEngine& engine) : engine(engine) {}

    // False when there is no usable parent or the window cannot be made
    // (for instance with no display); the engine then simply has no window.
    bool open(void* parentWindow);
    void close();
    void* window() const { return handle; }

    // Called by the window procedure for this editor's window only.
    intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
    void windowDestroyed();

private:
    void paint();
    void dragTo(int32_t x);
    int32_t rowAt(int32_t y) const;

    SynthEngine& engine;
    void* handle = nullptr;
    int32_t dragRow = -1;
    float shown[ParameterCount] = {};
};

}  // namespace engine
