#include "CommandLine.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace host {

namespace {

bool toInteger(const std::string& text, long minimum, long maximum, int32_t& value)
{
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < minimum || parsed > maximum) {
        return false;
    }
    value = static_cast<int32_t>(parsed);
    return true;
}

bool toNumber(const std::string& text, double minimum, double maximum, double& value)
{
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(parsed) || parsed < minimum || parsed > maximum) {
        return false;
    }
    value = parsed;
    return true;
}

// "LEFT,RIGHT,Y[,Y...]" into the options' drag lines.
bool toDragLines(const std::string& text, Options& options)
{
    std::vector<int32_t> numbers;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = std::min(text.find(',', start), text.size());
        int32_t number = 0;
        if (!toInteger(text.substr(start, comma - start), 0, 32767, number)) {
            return false;
        }
        numbers.push_back(number);
        start = comma + 1;
    }
    if (numbers.size() < 3 || numbers[0] >= numbers[1]) {
        return false;
    }
    options.dragLeft = numbers[0];
    options.dragRight = numbers[1];
    options.dragHeights.assign(numbers.begin() + 2, numbers.end());
    return true;
}

bool hasExtension(const std::string& path, const char* extension)
{
    const size_t length = std::strlen(extension);
    if (path.size() <= length) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (std::tolower(static_cast<unsigned char>(path[path.size() - length + i])) != extension[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

const char* usageText()
{
    return "usage: velmorant-host PLUGIN.dll [options]\n"
           "  --list                 show name, vendor, parameters and capabilities\n"
           "  --midi FILE.mid        play a Standard MIDI File (format 0 or 1)\n"
           "                         (without it: the built-in phrase)\n"
           "  --out FILE.wav         render to a WAV file\n"
           "  --format 16|24|float   sample format (default 24)\n"
           "  --rate HZ              sample rate (default 44100)\n"
           "  --block FRAMES         block size (default 512)\n"
           "  --tempo BPM            play at this tempo instead of the file's\n"
           "  --timesig N/D          use this time signature instead of the file's\n"
           "  --tail SECONDS         render on after the last note (default 2)\n"
           "  --realtime             answer the real-time process level (default: offline)\n"
           "  --set INDEX|NAME=VALUE set a parameter (0..1); repeatable\n"
           "  --load-state FILE      restore a state chunk before rendering\n"
           "  --save-state FILE      save the state chunk (after --load-state and --set)\n"
           "  --trace                print the plug-in's debug output lines\n"
           "  --progress             always show progress (shown anyway past 30 s of audio)\n"
           "  --quiet                print errors only\n"
           "  --soak SECONDS         play the sequence in a loop this long, without a file, and\n"
           "                         report the process's memory before and after\n"
           "  --state-every SECONDS  soak: save and restore the state this often (default 5, 0: never)\n"
           "  --edit-every SECONDS   soak: drag a slider in the plug-in's window this often\n"
           "                         (default 1, 0: never)\n"
           "  --report-every SECONDS soak: print the memory this often\n"
           "  --drag-at L,R,Y[,Y...] soak: drag from near L to near R (pixels of the plug-in's window)\n"
           "                         along each height Y in turn (default: across the middle half\n"
           "                         of the window at five heights)\n"
           "  --load-preset FILE     apply a .fxp program or .fxb bank (after --load-state, before --set)\n"
           "  --save-preset FILE     save the program (.fxp) or the bank (.fxb) after the loads and --set\n"
           "  --preset-name NAME     name the saved program (up to 27 characters)\n"
           "  --editor-shot FILE.png open the plug-in's window and save a picture of it\n"
           "  --version              print the version and exit\n";
}

bool parseCommandLine(const std::vector<std::string>& arguments, Options& options, std::string& error)
{
    options = Options();
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= arguments.size()) {
                error = argument + " needs a value";
                return false;
            }
            out = arguments[++i];
            return true;
        };
        std::string text;
        if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else if (argument == "--list") {
            options.list = true;
        } else if (argument == "--trace") {
            options.trace = true;
        } else if (argument == "--quiet") {
            options.quiet = true;
        } else if (argument == "--progress") {
            options.progress = true;
        } else if (argument == "--realtime") {
            options.processLevel = 2;
        } else if (argument == "--midi") {
            if (!value(options.midiPath)) {
                return false;
            }
        } else if (argument == "--out") {
            if (!value(options.outputPath)) {
                return false;
            }
        } else if (argument == "--load-state") {
            if (!value(options.loadStatePath)) {
                return false;
            }
        } else if (argument == "--save-state") {
            if (!value(options.saveStatePath)) {
                return false;
            }
        } else if (argument == "--format") {
            if (!value(text)) {
                return false;
            }
            if (text == "16") {
                options.format = SampleFormat::Pcm16;
            } else if (text == "24") {
                options.format = SampleFormat::Pcm24;
            } else if (text == "float" || text == "32f" || text == "f32") {
                options.format = SampleFormat::Float32;
            } else {
                error = "--format takes 16, 24 or float, not '" + text + "'";
                return false;
            }
        } else if (argument == "--rate") {
            if (!value(text) || !toInteger(text, 8000, 384000, options.sampleRate)) {
                error = "--rate takes a sample rate from 8000 to 384000 Hz";
                return false;
            }
        } else if (argument == "--block") {
            if (!value(text) || !toInteger(text, 1, 65536, options.blockSize)) {
                error = "--block takes a block size from 1 to 65536 frames";
                return false;
            }
        } else if (argument == "--tempo") {
            if (!value(text) || !toNumber(text, 1.0, 999.0, options.tempo)) {
                error = "--tempo takes beats per minute from 1 to 999";
                return false;
            }
        } else if (argument == "--tail") {
            if (!value(text) || !toNumber(text, 0.0, 600.0, options.tailSeconds)) {
                error = "--tail takes seconds from 0 to 600";
                return false;
            }
        } else if (argument == "--soak") {
            if (!value(text) || !toNumber(text, 1.0, 7.0 * 24 * 3600, options.soakSeconds)) {
                error = "--soak takes seconds of audio from 1 to a week";
                return false;
            }
        } else if (argument == "--state-every" || argument == "--edit-every" || argument == "--report-every") {
            double& seconds = argument == "--state-every"  ? options.stateEverySeconds
                              : argument == "--edit-every" ? options.editEverySeconds
                                                           : options.reportEverySeconds;
            if (!value(text) || !toNumber(text, 0.0, 24 * 3600, seconds) || (seconds > 0.0 && seconds < 0.01)) {
                error = argument + " takes 0 (never) or seconds from 0.01 to a day";
                return false;
            }
        } else if (argument == "--drag-at") {
            if (!value(text) || !toDragLines(text, options)) {
                error = "--drag-at takes LEFT,RIGHT,Y[,Y...] in pixels of the plug-in's window (0 to 32767), "
                        "LEFT below RIGHT";
                return false;
            }
        } else if (argument == "--timesig") {
            if (!value(text)) {
                return false;
            }
            const size_t slash = text.find('/');
            int32_t denominator = 0;
            if (slash == std::string::npos || !toInteger(text.substr(0, slash), 1, 64, options.numerator) ||
                !toInteger(text.substr(slash + 1), 1, 64, denominator) || (denominator & (denominator - 1)) != 0) {
                error = "--timesig takes N/D with D a power of two, for example 3/4 or 6/8";
                return false;
            }
            options.denominator = denominator;
        } else if (argument == "--set") {
            if (!value(text)) {
                return false;
            }
            const size_t equals = text.rfind('=');
            double number = 0.0;
            if (equals == std::string::npos || equals == 0 || !toNumber(text.substr(equals + 1), 0.0, 1.0, number)) {
                error = "--set takes INDEX=VALUE or NAME=VALUE with a value from 0 to 1, not '" + text + "'";
                return false;
            }
            options.parameters.push_back({text.substr(0, equals), static_cast<float>(number)});
        } else if (argument == "--load-preset" || argument == "--save-preset" || argument == "--preset-name" ||
                   argument == "--editor-shot") {
            if (!value(text)) {
                return false;
            }
            if (argument == "--load-preset") {
                options.loadPresetPath = text;
            } else if (argument == "--save-preset") {
                if (!hasExtension(text, ".fxp") && !hasExtension(text, ".fxb")) {
                    error =
                        "--save-preset takes a file ending in .fxp (a program) or .fxb (a bank), not '" + text + "'";
                    return false;
                }
                options.savePresetPath = text;
            } else if (argument == "--preset-name") {
                if (text.size() > 27) {
                    error = "--preset-name takes up to 27 characters, not '" + text + "'";
                    return false;
                }
                options.presetName = text;
            } else {
                options.editorShotPath = text;
            }
        } else if (!argument.empty() && argument[0] == '-') {
            error = "unknown option " + argument;
            return false;
        } else if (options.pluginPath.empty()) {
            options.pluginPath = argument;
        } else {
            error = "more than one plug-in given ('" + options.pluginPath + "' and '" + argument + "')";
            return false;
        }
    }
    if (options.soakSeconds > 0.0 && !options.outputPath.empty()) {
        error = "--soak writes no file; leave out --out";
        return false;
    }
    if (options.pluginPath.empty() && !options.help && !options.version) {
        error = "no plug-in given";
        return false;
    }
    return true;
}

}  // namespace host
