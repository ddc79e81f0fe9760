#include "PresetTransfer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "common/Files.h"

namespace host {

namespace {

// A bank is saved program by program up to this many; a larger count is
// taken as damage rather than looped over.
constexpr int32_t maxBankPrograms = 4096;
void setProgramName(PluginInstance& plugin, const std::string& name)
{
    char text[presetNameLength + 1] = {};
    name.copy(text, presetNameLength);
    plugin.dispatch(effSetProgramName, 0, 0, text);
}

void applyValues(PluginInstance& plugin, const std::vector<float>& values)
{
    for (size_t index = 0; index < values.size(); ++index) {
        plugin.setParameter(static_cast<int32_t>(index), values[index]);
    }
}

bool readValues(PluginInstance& plugin, std::vector<float>& values, std::string& error)
{
    values.resize(static_cast<size_t>(plugin.parameterCount()));
    for (size_t index = 0; index < values.size(); ++index) {
        values[index] = plugin.getParameter(static_cast<int32_t>(index));
        if (!std::isfinite(values[index]) || values[index] < 0.0f || values[index] > 1.0f) {
            char text[32];
            std::snprintf(text, sizeof text, "%g", static_cast<double>(values[index]));
            error = "the plug-in answered parameter " + std::to_string(index) + " with " + text +
                    ", not a number from 0 to 1";
            return false;
        }
    }
    return true;
}

}  // namespace

PresetTarget presetTargetOf(PluginInstance& plugin)
{
    PresetTarget target;
    target.uniqueID = plugin.record().uniqueID;
    target.numParams = plugin.parameterCount();
    target.numPrograms = std::clamp(plugin.record().numPrograms, 0, maxBankPrograms);
    target.keepsChunks = (plugin.record().flags & effFlagsProgramChunks) != 0;
    return target;
}

bool loadPreset(PluginInstance& plugin, const std::string& path, std::string& error)
{
    std::vector<uint8_t> bytes;
    if (!common::readFile(path, bytes)) {
        error = "cannot read the preset file '" + path + "'";
        return false;
    }
    PresetFile preset;
    if (!parsePresetFile(bytes, preset, error)) {
        error = path + " is not a usable preset: " + error;
        return false;
    }
    if (!presetFitsPlugin(preset, path, presetTargetOf(plugin), error)) {
        return false;
    }
    if (preset.isChunk) {
        if (!plugin.setChunk(preset.programs[0].chunk, error, !preset.isBank)) {
            return false;
        }
        if (!preset.isBank) {
            setProgramName(plugin, preset.programs[0].name);
        } else if (preset.currentProgram >= 0) {
            plugin.dispatch(effSetProgram, 0, preset.currentProgram);
        }
        return true;
    }
    if (!preset.isBank) {
        applyValues(plugin, preset.programs[0].parameters);
        setProgramName(plugin, preset.programs[0].name);
        return true;
    }
    for (size_t index = 0; index < preset.programs.size(); ++index) {
        plugin.dispatch(effSetProgram, 0, static_cast<intptr_t>(index));
        applyValues(plugin, preset.programs[index].parameters);
        setProgramName(plugin, preset.programs[index].name);
    }
    plugin.dispatch(effSetProgram, 0, std::max(preset.currentProgram, 0));
    return true;
}

bool capturePreset(PluginInstance& plugin, bool bank, const std::string& programName, PresetFile& preset,
                   std::string& error)
{
    const PresetTarget target = presetTargetOf(plugin);
    preset = PresetFile();
    preset.isBank = bank;
    preset.isChunk = target.keepsChunks;
    preset.fxID = target.uniqueID;
    preset.fxVersion = plugin.record().version;
    preset.numParams = target.numParams;
    preset.numPrograms = target.numPrograms;
    const intptr_t current = plugin.dispatch(effGetProgram);
    auto name = [&]() {
        return programName.empty() ? plugin.text(effGetProgramName, 0, presetNameLength) : programName;
    };
    if (preset.isChunk) {
        preset.programs.resize(1);
        if (!plugin.getChunk(preset.programs[0].chunk, error, !bank)) {
            return false;
        }
        if (bank) {
            preset.currentProgram = static_cast<int32_t>(std::clamp<intptr_t>(current, 0, INT32_MAX));
        } else {
            preset.programs[0].name = name();
        }
        return true;
    }
    if (!bank) {
        preset.programs.resize(1);
        preset.programs[0].name = name();
        return readValues(plugin, preset.programs[0].parameters, error);
    }
    preset.programs.resize(static_cast<size_t>(target.numPrograms));
    for (int32_t index = 0; index < target.numPrograms; ++index) {
        plugin.dispatch(effSetProgram, 0, index);
        PresetProgram& program = preset.programs[static_cast<size_t>(index)];
        program.name = plugin.text(effGetProgramName, 0, presetNameLength);
        if (!readValues(plugin, program.parameters, error)) {
            return false;
        }
    }
    plugin.dispatch(effSetProgram, 0, current);
    if (target.numPrograms > 0) {
        preset.currentProgram = static_cast<int32_t>(std::clamp<intptr_t>(current, 0, target.numPrograms - 1));
    }
    return true;
}

bool savePreset(PluginInstance& plugin, const std::string& path, const std::string& programName, size_t& size,
                std::string& error)
{
    PresetFile preset;
    if (!capturePreset(plugin, isBankPath(path), programName, preset, error)) {
        return false;
    }
    const std::vector<uint8_t> bytes = serializePresetFile(preset);
    if (!common::writeFile(path, bytes)) {
        error = "cannot write the preset file '" + path + "'";
        return false;
    }
    size = bytes.size();
    return true;
}

bool isBankPath(const std::string& path)
{
    if (path.size() < 4) {
        return false;
    }
    std::string extension = path.substr(path.size() - 4);
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return extension == ".fxb";
}

}  // namespace host
