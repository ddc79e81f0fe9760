// What --list prints: the plug-in's names, record, outputs, parameters and
// answers to the common capabilities.
#pragma once

#include "PluginInstance.h"

namespace host {

void listPlugin(PluginInstance& plugin);

}  // namespace host
