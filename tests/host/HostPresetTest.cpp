// Presets through the real plug-in and engine: the factory sounds render, each
// audibly its own; files are applied, refused without a trace, and written
// back byte for byte; the command line reports refusals with their exit codes.
#include "HostTestSupport.h"

#include <map>

#include "CommandLine.h"
#include "PluginInstance.h"
#include "PresetTransfer.h"
#include "Renderer.h"
#include "Transport.h"
#include "WavWriter.h"
#include "common/FourCharacterCode.h"

namespace {

using namespace host;

std::string plugin()
{
    return binaryFolder() + "Velmorant.dll";
}

// engine/presets, copied beside the tests at build time.
std::vector<std::string> factoryPresets()
{
    std::vector<std::string> paths;
    WIN32_FIND_DATAA found;
    const std::string folder = binaryFolder() + "factory-presets\\";
    HANDLE search = FindFirstFileA((folder + "*.fxp").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            paths.push_back(folder + found.cFileName);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::string stem(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    const std::string name = path.substr(slash + 1);
    return name.substr(0, name.rfind('.'));
}

void addNote(MidiSequence& sequence, int64_t tick, int64_t length, int note, int velocity)
{
    sequence.messages.push_back(
        {tick, {0x90, static_cast<unsigned char>(note), static_cast<unsigned char>(velocity), 0}});
    sequence.messages.push_back({tick + length, {0x80, static_cast<unsigned char>(note), 0, 0}});
}

// Two seconds at 120 bpm: a held chord, four short notes high and low, a long
// note: enough to hear attack, decay, sustain, release and pitch range.
MidiSequence shortPhrase()
{
    MidiSequence sequence;
    sequence.tempoChanges.push_back({0, 500000.0});
    sequence.signatures.push_back({0, 4, 4});
    for (int note : {48, 52, 55}) {
        addNote(sequence, 0, 400, note, 90);
    }
    const int notes[] = {72, 36, 79, 43};
    for (int i = 0; i < 4; ++i) {
        addNote(sequence, 480 + i * 240, 100, notes[i], 40 + 25 * i);
    }
    addNote(sequence, 1440, 480, 60, 110);
    std::stable_sort(sequence.messages.begin(), sequence.messages.end(),
                     [](const MidiMessage& a, const MidiMessage& b) { return a.tick < b.tick; });
    sequence.endTick = sequence.messages.back().tick;
    return sequence;
}

// The plug-in loaded in this process, as velmorant-host loads it.
class LoadedPlugin {
public:
    LoadedPlugin()
    {
        std::string error;
        loaded = instance.load(plugin(), error) == LoadFailure::None;
        EXPECT_TRUE(loaded) << error;
        instance.setSampleRateAndBlockSize(44100.0f, 256);
    }
    std::vector<uint8_t> state()
    {
        std::vector<uint8_t> bytes;
        std::string error;
        EXPECT_TRUE(instance.getChunk(bytes, error)) << error;
        return bytes;
    }
    PluginInstance instance;
    bool loaded = false;
};

// The mono mix of the short phrase rendered with `preset` applied.
std::vector<float> renderWith(const std::string& preset, const ScratchFolder& scratch)
{
    LoadedPlugin loaded;
    std::string error;
    if (!loaded.loaded || !loadPreset(loaded.instance, preset, error)) {
        ADD_FAILURE() << error;
        return {};
    }
    const MidiSequence sequence = shortPhrase();
    const Transport transport(sequence, 44100.0, 0.0, 0, 0);
    WavWriter writer;
    const std::string wav = scratch / "preset.wav";
    EXPECT_TRUE(writer.open(wav, 2, 44100, SampleFormat::Float32));
    RenderSettings settings;
    settings.blockSize = 256;
    settings.tailSeconds = 0.5;
    RenderResult result;
    EXPECT_TRUE(renderSequence(loaded.instance, sequence, transport, &writer, settings, result, error)) << error;
    EXPECT_TRUE(writer.close());
    const FloatWav read = readFloatWav(readBytes(wav));
    std::vector<float> mono(read.samples.size() / 2);
    for (size_t i = 0; i < mono.size(); ++i) {
        mono[i] = 0.5f * (read.samples[2 * i] + read.samples[2 * i + 1]);
    }
    return mono;
}

// Per 2048-frame window: the level in dB and the brightness (the level of
// the first difference relative to the level), the two things an ear tells
// apart first between sounds.
struct Envelope {
    std::vector<double> level;
    std::vector<double> brightness;
};

Envelope envelopeOf(const std::vector<float>& samples)
{
    Envelope envelope;
    constexpr size_t window = 2048;
    for (size_t start = 0; start + window <= samples.size(); start += window) {
        double energy = 1e-12;
        double change = 1e-12;
        for (size_t i = start; i < start + window; ++i) {
            energy += static_cast<double>(samples[i]) * samples[i];
            if (i > 0) {
                const double step = static_cast<double>(samples[i]) - samples[i - 1];
                change += step * step;
            }
        }
        envelope.level.push_back(std::max(-90.0, 10.0 * std::log10(energy / window)));
        envelope.brightness.push_back(10.0 * std::log10(change / energy));
    }
    return envelope;
}

// Mean distance in dB over the windows; windows silent in both are left out
// of the brightness, which is noise there.
double distance(const Envelope& a, const Envelope& b)
{
    const size_t windows = std::min(a.level.size(), b.level.size());
    double sum = 0.0;
    for (size_t i = 0; i < windows; ++i) {
        sum += std::fabs(a.level[i] - b.level[i]);
        if (a.level[i] > -70.0 || b.level[i] > -70.0) {
            sum += std::fabs(a.brightness[i] - b.brightness[i]);
        }
    }
    return windows > 0 ? sum / static_cast<double>(windows) : 0.0;
}

TEST(FactoryPresets, AtLeastEightAreThereEachNamedAfterItsFile)
{
    const std::vector<std::string> presets = factoryPresets();
    ASSERT_GE(presets.size(), 8u);
    for (const std::string& path : presets) {
        PresetFile preset;
        std::string error;
        ASSERT_TRUE(parsePresetFile(readBytes(path), preset, error)) << path << ": " << error;
        EXPECT_FALSE(preset.isBank) << path;
        EXPECT_TRUE(preset.isChunk) << path;
        EXPECT_EQ(common::fourCharacterText(preset.fxID), "Vlmt") << path;
        EXPECT_EQ(preset.programs[0].name, stem(path));
    }
}

TEST(FactoryPresets, EachRendersAudiblyAndDifferentFromEveryOther)
{
    const std::vector<std::string> presets = factoryPresets();
    ASSERT_GE(presets.size(), 8u);
    ScratchFolder scratch;
    std::vector<Envelope> envelopes;
    for (const std::string& path : presets) {
        const std::vector<float> samples = renderWith(path, scratch);
        ASSERT_GT(samples.size(), 44100u * 2) << path;
        float peak = 0.0f;
        for (float sample : samples) {
            ASSERT_TRUE(std::isfinite(sample)) << path;
            peak = std::max(peak, std::fabs(sample));
        }
        EXPECT_GT(peak, 0.05f) << stem(path) << " is nearly silent";
        EXPECT_LT(peak, 1.0f) << stem(path) << " clips";
        envelopes.push_back(envelopeOf(samples));
    }
    // The same preset rendered again lies far inside the threshold, so a
    // duplicated preset fails below; the closest factory pair is over 6 dB apart.
    const double threshold = 2.0;
    EXPECT_LT(distance(envelopes[0], envelopeOf(renderWith(presets[0], scratch))), 0.01);
    for (size_t a = 0; a < presets.size(); ++a) {
        for (size_t b = a + 1; b < presets.size(); ++b) {
            EXPECT_GT(distance(envelopes[a], envelopes[b]), threshold)
                << stem(presets[a]) << " and " << stem(presets[b]) << " sound alike";
        }
    }
}

TEST(FactoryPresets, LoadingThenSavingGivesTheSameFile)
{
    for (const std::string& path : factoryPresets()) {
        LoadedPlugin loaded;
        ASSERT_TRUE(loaded.loaded);
        std::string error;
        ASSERT_TRUE(loadPreset(loaded.instance, path, error)) << error;
        PresetFile captured;
        ASSERT_TRUE(capturePreset(loaded.instance, false, stem(path), captured, error)) << error;
        PresetFile file;
        ASSERT_TRUE(parsePresetFile(readBytes(path), file, error)) << error;
        EXPECT_EQ(captured.programs[0].chunk, file.programs[0].chunk) << path;
        EXPECT_EQ(serializePresetFile(captured), readBytes(path)) << path;
    }
}

TEST(PresetTransfer, RefusedFilesLeaveThePlugInAsItWas)
{
    const std::vector<std::string> presets = factoryPresets();
    ASSERT_FALSE(presets.empty());
    const std::vector<uint8_t> good = readBytes(presets[0]);
    ScratchFolder scratch;
    std::vector<uint8_t> otherId = good;
    std::memcpy(otherId.data() + 16, "abcd", 4);
    common::writeFile(scratch / "other.fxp", otherId);
    common::writeFile(scratch / "short.fxp", std::vector<uint8_t>(good.begin(), good.end() - 1));
    PresetFile values;
    values.fxID = 0x566C6D74;
    values.programs.resize(1);
    values.programs[0].parameters.assign(13, 0.5f);  // one short of the plug-in's 14
    common::writeFile(scratch / "thirteen.fxp", serializePresetFile(values));

    LoadedPlugin loaded;
    ASSERT_TRUE(loaded.loaded);
    loaded.instance.setParameter(2, 0.125f);
    const std::vector<uint8_t> before = loaded.state();
    const std::map<std::string, std::string> expected = {
        {"other.fxp", "other.fxp is for another plug-in (id 'abcd', this one is 'Vlmt')"},
        {"short.fxp", "short.fxp is not a usable preset: the file's size field"},
        {"thirteen.fxp", "thirteen.fxp holds 13 parameter values, the plug-in has 14 parameters"},
        {"missing.fxp", "cannot read the preset file"}};
    for (const auto& [name, message] : expected) {
        std::string error;
        EXPECT_FALSE(loadPreset(loaded.instance, scratch / name, error)) << name;
        EXPECT_NE(error.find(message), std::string::npos) << error;
        EXPECT_EQ(loaded.state(), before) << name << " changed the plug-in";
    }
}

// A plug-in whose record does not say its programs are chunks: the record of
// the real one with the flag taken away, so that the parameter forms are used.
TEST(PresetTransfer, WithoutChunksProgramsAndBanksAreParameterValues)
{
    LoadedPlugin loaded;
    ASSERT_TRUE(loaded.loaded);
    EffectRecord& record = const_cast<EffectRecord&>(loaded.instance.record());
    record.flags &= ~effFlagsProgramChunks;
    for (int32_t index = 0; index < 14; ++index) {
        loaded.instance.setParameter(index, static_cast<float>(index) / 16.0f);
    }
    PresetFile program;
    std::string error;
    ASSERT_TRUE(capturePreset(loaded.instance, false, "", program, error)) << error;
    EXPECT_FALSE(program.isChunk);
    EXPECT_EQ(program.programs[0].name, "Prg 0");  // the plug-in's own name for it
    ASSERT_EQ(program.programs[0].parameters.size(), 14u);
    EXPECT_EQ(program.programs[0].parameters[5], 5.0f / 16.0f);

    loaded.instance.dispatch(effSetProgram, 0, 7);
    PresetFile bank;
    ASSERT_TRUE(capturePreset(loaded.instance, true, "", bank, error)) << error;
    EXPECT_FALSE(bank.isChunk);
    ASSERT_EQ(bank.programs.size(), 512u);
    EXPECT_EQ(bank.programs[511].name, "Prg 511");
    EXPECT_EQ(bank.currentProgram, 7);
    EXPECT_EQ(loaded.instance.dispatch(effGetProgram), 7) << "saving a bank moved the current program";

    // Written, changed, read back: setParameter restores every value.
    ScratchFolder scratch;
    common::writeFile(scratch / "values.fxp", serializePresetFile(program));
    loaded.instance.setParameter(5, 0.9f);
    ASSERT_TRUE(loadPreset(loaded.instance, scratch / "values.fxp", error)) << error;
    for (int32_t index = 0; index < 14; ++index) {
        EXPECT_EQ(loaded.instance.getParameter(index), static_cast<float>(index) / 16.0f) << index;
    }
    // A chunk file cannot reach such a plug-in.
    EXPECT_FALSE(loadPreset(loaded.instance, factoryPresets().at(0), error));
    EXPECT_NE(error.find("holds a chunk, but the plug-in keeps its programs as parameter values"), std::string::npos)
        << error;
    record.flags |= effFlagsProgramChunks;
}

TEST(PresetOptions, AreReadWithTheirChecks)
{
    Options options;
    std::string error;
    ASSERT_TRUE(parseCommandLine({"p.dll", "--load-preset", "in.fxb", "--save-preset", "OUT.FXP", "--preset-name",
                                  "Warm Pad", "--editor-shot", "e.png"},
                                 options, error))
        << error;
    EXPECT_EQ(options.loadPresetPath, "in.fxb");
    EXPECT_EQ(options.savePresetPath, "OUT.FXP");
    EXPECT_EQ(options.presetName, "Warm Pad");
    EXPECT_EQ(options.editorShotPath, "e.png");
    EXPECT_FALSE(parseCommandLine({"p.dll", "--save-preset", "out.wav"}, options, error));
    EXPECT_NE(error.find("ending in .fxp (a program) or .fxb (a bank)"), std::string::npos) << error;
    EXPECT_FALSE(parseCommandLine({"p.dll", "--save-preset", ".fxp"}, options, error));
    EXPECT_FALSE(parseCommandLine({"p.dll", "--preset-name", std::string(28, 'x')}, options, error));
    EXPECT_NE(error.find("up to 27 characters"), std::string::npos) << error;
    EXPECT_FALSE(parseCommandLine({"p.dll", "--load-preset"}, options, error));
    EXPECT_TRUE(isBankPath("a.FXB"));
    EXPECT_FALSE(isBankPath("a.fxp"));
}

TEST(PresetOptions, TheProgramRefusesBadPresetsWithFiveAndUnwritableOnesWithSix)
{
    ScratchFolder scratch;
    std::vector<uint8_t> otherId = readBytes(factoryPresets().at(0));
    std::memcpy(otherId.data() + 16, "abcd", 4);
    common::writeFile(scratch / "preset.fxp", otherId);
    const HostRun refused =
        runHost({plugin(), "--load-preset", "preset.fxp", "--save-state", scratch / "after.state"}, scratch);
    EXPECT_EQ(refused.exitCode, 5u);
    EXPECT_NE(refused.err.find("velmorant-host: preset.fxp is for another plug-in (id 'abcd', this one is 'Vlmt')\n"),
              std::string::npos)
        << refused.err;
    EXPECT_TRUE(readBytes(scratch / "after.state").empty()) << "the run went on after the refusal";

    const HostRun unwritable = runHost({plugin(), "--save-preset", scratch / "no folder\\bank.fxb"}, scratch);
    EXPECT_EQ(unwritable.exitCode, 6u);
    EXPECT_NE(unwritable.err.find("cannot write the preset file"), std::string::npos) << unwritable.err;

    // A bank saved and loaded back by the program restores the same state.
    const HostRun saved =
        runHost({plugin(), "--set", "Cutoff=0.2", "--save-preset", "bank.fxb", "--save-state", "saved.state"}, scratch);
    ASSERT_EQ(saved.exitCode, 0u) << saved.err;
    EXPECT_NE(saved.out.find("preset saved: bank.fxb (232 bytes)"), std::string::npos) << saved.out;
    const HostRun loaded = runHost({plugin(), "--load-preset", "bank.fxb", "--save-state", "loaded.state"}, scratch);
    ASSERT_EQ(loaded.exitCode, 0u) << loaded.err;
    EXPECT_EQ(readBytes(scratch / "loaded.state"), readBytes(scratch / "saved.state"));
    EXPECT_FALSE(readBytes(scratch / "saved.state").empty());
}

}  // namespace
