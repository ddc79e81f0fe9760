#include "bridge/VelmorantEditor.h"

namespace bridge {

VelmorantEditor::VelmorantEditor(AudioEffect* effect, SoftSynth* engine)
    : AEffEditor(effect), rect{0, 0, 0, 0}, engine(engine)
{
}

VelmorantEditor::~VelmorantEditor() = default;

bool VelmorantEditor::getRect(ERect** out)
{
    rect = ERect{0, 0, 0, 0};
    if (engine != nullptr) {
        int32_t width = 0;
        int32_t height = 0;
        engine->getEditorSize(&width, &height);
        // The host's rectangle holds 16-bit coordinates: larger sizes keep
        // their low 16 bits.
        rect.right = static_cast<int16_t>(static_cast<uint16_t>(width & 0xFFFF));
        rect.bottom = static_cast<int16_t>(static_cast<uint16_t>(height & 0xFFFF));
    }
    if (out != nullptr)
        *out = &rect;
    return true;
}

bool VelmorantEditor::open(void* window)
{
    systemWindow = window;
    if (engine != nullptr)
        engine->openEditor(window);
    return true;
}

void VelmorantEditor::close()
{
    if (engine != nullptr)
        engine->closeEditor();
}

void VelmorantEditor::idle() {}

}  // namespace bridge
