// The plug-in's editor: the engine owns the user interface, so each call that
// matters (size, open, close) is handed to the engine object.
#pragma once

#include "SoftSynth.h"
#include "vst/AEffEditor.h"
#include "vst/VstAbi.h"

class AudioEffect;

namespace bridge {

class VelmorantEditor : public AEffEditor {
public:
    // engine may be null; the editor then reports an empty rectangle.
    VelmorantEditor(AudioEffect* effect, SoftSynth* engine);
    ~VelmorantEditor() override;

    // Asks the engine for its size on every call; rect receives the address
    // of the editor's own rectangle, valid while the editor lives. Always true.
    bool getRect(ERect** rect) override;
    // Hands the host's parent window to the engine untouched. Always true.
    bool open(void* window) override;
    void close() override;
    // The engine gets no idle calls from the editor.
    void idle() override;

protected:
    ERect rect;
    SoftSynth* engine;  // not owned
};

}  // namespace bridge
