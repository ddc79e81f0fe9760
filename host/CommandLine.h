// The host's options, parsed from the command line with a message for
// anything malformed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "WavWriter.h"

namespace host {

struct ParameterSetting {
    std::string target;  // an index, or a parameter name
    float value;
};

struct Options {
    std::string pluginPath;
    bool list = false;
    std::string midiPath;    // empty: the built-in phrase
    std::string outputPath;  // empty: no render
    SampleFormat format = SampleFormat::Pcm24;
    int32_t sampleRate = 44100;
    int32_t blockSize = 512;
    double tempo = 0.0;     // 0: the sequence's own
    int32_t numerator = 0;  // 0: the sequence's own
    int32_t denominator = 0;
    double tailSeconds = 2.0;
    int32_t processLevel = 4;  // offline
    std::vector<ParameterSetting> parameters;
    std::string loadStatePath;
    std::string saveStatePath;
    bool trace = false;
    bool quiet = false;
    bool progress = false;  // forced on; otherwise shown for renders over 30 s
    bool help = false;
    bool version = false;
    // A soak: this many seconds of the sequence in a loop, no file written.
    double soakSeconds = 0.0;
    double stateEverySeconds = 5.0;
    double editEverySeconds = 1.0;
    double reportEverySeconds = 0.0;
    // --drag-at: where the soak drags in the plug-in's window; no heights:
    // across the rectangle the plug-in gives for its editor.
    int32_t dragLeft = 0;
    int32_t dragRight = 0;
    std::vector<int32_t> dragHeights;

    // Presets in the exchange format (.fxp program, .fxb bank) and a picture
    // of the editor.
    std::string loadPresetPath;  // applied after --load-state, before --set
    std::string savePresetPath;  // after the loads and --set; .fxp or .fxb
    std::string presetName;      // the saved program's name; empty: the plug-in's
    std::string editorShotPath;  // a PNG of the plug-in's window
};

bool parseCommandLine(const std::vector<std::string>& arguments, Options& options, std::string& error);
const char* usageText();

}  // namespace host
