// The editor base: the host opens, sizes and closes a plug-in's user
// interface through these operations. Every one has a do-nothing default.
#pragma once

#include <cstdint>

#include "vst/VstAbi.h"

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect);
    virtual ~AEffEditor();

    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;

    // The slot order below is fixed; subclasses override in place.
    virtual AudioEffect* getEffect();
    // Stores the address of the editor's rectangle through rect (null here).
    virtual bool getRect(ERect** rect);
    virtual bool open(void* window);
    virtual void close();
    virtual bool isOpen();
    virtual void idle();
    virtual bool onKeyDown(VstKeyCode& keyCode);
    virtual bool onKeyUp(VstKeyCode& keyCode);
    virtual bool onWheel(float distance);
    virtual bool setKnobMode(int32_t mode);

protected:
    AudioEffect* effect;  // not owned
    void* systemWindow;   // parent window last given to open; null when closed
};
