// The engine object an engine module's factory makes. Slot order and the
// data words are a binary contract with the plug-in: never reorder, and keep
// the placeholders so that later slots keep their numbers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "InputStream.h"
#include "OutputStream.h"

// The plug-in's callback into itself: request 1 means parameter `index` changed.
typedef void(__cdecl* SoftSynthCallback)(int32_t index, int32_t request, void* context);

enum SoftSynthRequest : int32_t { SoftSynthParameterChanged = 1 };

// Process modes handed to setProcessMode.
enum SoftSynthProcessMode : int32_t {
    SoftSynthModeUnknown = 0,
    SoftSynthModeOffline = 1,   // user thread or offline render
    SoftSynthModeRealtime = 2,  // real-time audio or prefetch thread
};

class SoftSynth {
public:
    virtual void suspend() = 0;                                                     // 1
    virtual void resume() = 0;                                                      // 2
    virtual void release() = 0;                                                     // 3
    virtual void setSampleRate(float rate) = 0;                                     // 4
    virtual void setBlockSize(int32_t size) = 0;                                    // 5
    virtual void receiveMidi(const unsigned char* midi, int32_t deltaFrames) = 0;   // 6
    virtual void renderAdding(float** outputs, int32_t frames) = 0;                 // 7
    virtual void renderReplacing(float** outputs, int32_t frames) = 0;              // 8: outputs arrive zeroed
    virtual void unusedSlot9() {}                                                   // 9
    virtual void saveState(Korvanta::OutputStream& stream) = 0;                     // 10: may throw
    virtual void loadState(Korvanta::InputStream& stream) = 0;                      // 11
    virtual void getEditorSize(int32_t* width, int32_t* height) = 0;                // 12
    virtual void openEditor(void* parentWindow) = 0;                                // 13
    virtual void closeEditor() = 0;                                                 // 14
    virtual const char* getVendorName() = 0;                                        // 15
    virtual const char* getProductName() = 0;                                       // 16
    virtual int32_t getVersion() = 0;                                               // 17
    virtual int32_t getUniqueId() = 0;                                              // 18
    virtual const char* getOutputName() = 0;                                        // 19
    virtual void unusedSlot20() {}                                                  // 20
    virtual int32_t getParameterCount() = 0;                                        // 21
    virtual float getParameter(int32_t index) = 0;                                  // 22
    virtual void setParameter(int32_t index, float value) = 0;                      // 23
    virtual void getParameterLabel(int32_t index, char* text, int32_t size) = 0;    // 24
    virtual void getParameterDisplay(int32_t index, char* text, int32_t size) = 0;  // 25
    virtual void getParameterName(int32_t index, char* text, int32_t size) = 0;     // 26
    virtual void unusedSlot27() {}                                                  // 27
    virtual void setProcessMode(int32_t mode) = 0;                                  // 28
    virtual void unusedSlot29() {}                                                  // 29
    virtual void unusedSlot30() {}                                                  // 30
    virtual int32_t getOutputCount(int32_t hint) = 0;                               // 31

    // Two words for the engine's own use, then the words the plug-in writes
    // at construction and clears at destruction.
    intptr_t engineWord0 = 0;
    intptr_t engineWord1 = 0;
    SoftSynthCallback callback = nullptr;
    void* context = nullptr;

protected:
    SoftSynth() = default;
    ~SoftSynth() = default;
};

// The class is polymorphic, so offsetof is only conditionally supported; GCC
// and the other Windows compilers lay it out as the table pointer followed by
// the data words, which is exactly what the asserts pin.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#endif
#if defined(_WIN64)
static_assert(offsetof(SoftSynth, engineWord0) == 8, "SoftSynth engine word 0 at 8");
static_assert(offsetof(SoftSynth, engineWord1) == 16, "SoftSynth engine word 1 at 16");
static_assert(offsetof(SoftSynth, callback) == 24, "SoftSynth::callback at 24");
static_assert(offsetof(SoftSynth, context) == 32, "SoftSynth::context at 32");
#else
static_assert(offsetof(SoftSynth, engineWord0) == 4, "SoftSynth engine word 0 at 4");
static_assert(offsetof(SoftSynth, engineWord1) == 8, "SoftSynth engine word 1 at 8");
static_assert(offsetof(SoftSynth, callback) == 12, "SoftSynth::callback at 12");
static_assert(offsetof(SoftSynth, context) == 16, "SoftSynth::context at 16");
#endif
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
