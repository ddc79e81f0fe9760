// A picture of a plug-in's editor: opened in a top-level window of the size
// the plug-in asks for, given time to draw, copied out pixel by pixel, closed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PluginInstance.h"

namespace host {

struct EditorPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;  // rows top to bottom, three bytes a pixel
};

// False with `error` when the plug-in has no editor, reports an unusable
// size, or no window can be made (a window station without a display).
bool captureEditor(PluginInstance& plugin, EditorPicture& picture, std::string& error);

}  // namespace host
