#include "HostTestSupport.h"

namespace {

std::string plugin()
{
    return binaryFolder() + "Velmorant.dll";
}

// A short render of the built-in phrase as 32-bit float.
HostRun render(const ScratchFolder& scratch, const std::string& wav, std::vector<std::string> extra = {})
{
    std::vector<std::string> arguments = {plugin(), "--out", scratch / wav, "--format", "float",
                                          "--tail", "0.5",   "--block",     "256"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return runHost(arguments, scratch);
}

TEST(HostProgram, SameInputRendersIdenticalBytesTwice)
{
    ScratchFolder scratch;
    const HostRun first = render(scratch, "first.wav");
    ASSERT_EQ(first.exitCode, 0u) << first.err;
    const HostRun second = render(scratch, "second.wav");
    ASSERT_EQ(second.exitCode, 0u) << second.err;
    const std::vector<uint8_t> a = readBytes(scratch / "first.wav");
    EXPECT_GT(a.size(), 100000u);
    EXPECT_EQ(a, readBytes(scratch / "second.wav"));
}

TEST(HostProgram, RenderIsAudibleStereoAndPeaksBelowFullScale)
{
    ScratchFolder scratch;
    const HostRun run = render(scratch, "phrase.wav", {"--rate", "48000", "--progress"});
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    const FloatWav wav = readFloatWav(readBytes(scratch / "phrase.wav"));
    EXPECT_EQ(wav.format, 3);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.sampleRate, 48000u);
    float peak = 0.0f;
    double energy = 0.0;
    for (float sample : wav.samples) {
        peak = std::max(peak, std::fabs(sample));
        energy += static_cast<double>(sample) * sample;
    }
    ASSERT_FALSE(wav.samples.empty());
    const double rms = std::sqrt(energy / static_cast<double>(wav.samples.size()));
    EXPECT_GT(rms, 0.01);
    EXPECT_GT(peak, 0.1f);
    EXPECT_LT(peak, 1.0f);
    // The summary reports what the file holds: 33 notes in the phrase, and the plug-in's trace.
    EXPECT_NE(run.out.find("notes played: 33"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("trace lines seen: "), std::string::npos);
    EXPECT_EQ(run.out.find("trace lines seen: 0\n"), std::string::npos) << "no trace line was captured";
    EXPECT_NE(run.err.find("progress: 50%\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("progress: 100%\n"), std::string::npos) << run.err;
}

TEST(HostProgram, SavedStateLoadedBackReproducesTheRender)
{
    ScratchFolder scratch;
    const HostRun saved =
        render(scratch, "saved.wav",
               {"--set", "Cutoff=0.3", "--set", "0=0.5", "--set", "reso=0.8", "--save-state", scratch / "sound.state"});
    ASSERT_EQ(saved.exitCode, 0u) << saved.err;
    const HostRun loaded = render(scratch, "loaded.wav", {"--load-state", scratch / "sound.state"});
    ASSERT_EQ(loaded.exitCode, 0u) << loaded.err;
    const HostRun plain = render(scratch, "plain.wav");
    ASSERT_EQ(plain.exitCode, 0u) << plain.err;
    const std::vector<uint8_t> withState = readBytes(scratch / "loaded.wav");
    EXPECT_EQ(withState, readBytes(scratch / "saved.wav"));
    EXPECT_NE(withState, readBytes(scratch / "plain.wav")) << "the settings made no difference to the sound";
}

TEST(HostProgram, GarbageStateFileLeavesTheDefaultSound)
{
    ScratchFolder scratch;
    std::vector<uint8_t> garbage(300);
    for (size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<uint8_t>(i * 131 + 7);
    }
    common::writeFile(scratch / "garbage.state", garbage);
    common::writeFile(scratch / "empty.state", {});
    const HostRun plain = render(scratch, "plain.wav");
    ASSERT_EQ(plain.exitCode, 0u) << plain.err;
    for (const char* state : {"garbage.state", "empty.state"}) {
        const HostRun run = render(scratch, "garbage.wav", {"--load-state", scratch / state});
        ASSERT_EQ(run.exitCode, 0u) << run.err;
        EXPECT_EQ(readBytes(scratch / "garbage.wav"), readBytes(scratch / "plain.wav")) << state;
    }
}

TEST(HostProgram, RefusesMissingFilesAndLibrariesThatAreNotPlugins)
{
    ScratchFolder scratch;
    const HostRun missing = runHost({scratch / "nowhere.dll", "--list"}, scratch);
    EXPECT_EQ(missing.exitCode, 2u);
    EXPECT_NE(missing.err.find("cannot find the plug-in file"), std::string::npos) << missing.err;

    const HostRun engineOnly = runHost({binaryFolder() + "VelmorantEngine.dll", "--list"}, scratch);
    EXPECT_EQ(engineOnly.exitCode, 3u);
    EXPECT_NE(engineOnly.err.find("is not a VST 2.4 plug-in: it exports neither VSTPluginMain nor main"),
              std::string::npos)
        << engineOnly.err;

    common::writeFile(scratch / "text.dll", {'n', 'o', 't', ' ', 'a', ' ', 'D', 'L', 'L'});
    const HostRun text = runHost({scratch / "text.dll"}, scratch);
    EXPECT_EQ(text.exitCode, 3u);
    EXPECT_NE(text.err.find("cannot load"), std::string::npos) << text.err;
    EXPECT_TRUE(missing.out.empty() && engineOnly.out.empty() && text.out.empty());
}

TEST(HostProgram, APlugInThatRefusesToInstantiateIsReported)
{
    // The plug-in alone, without its engine beside it: its entry gives no record.
    ScratchFolder scratch;
    ASSERT_TRUE(CopyFileA(plugin().c_str(), (scratch / "Lonely.dll").c_str(), FALSE));
    const HostRun run = runHost({scratch / "Lonely.dll", "--list"}, scratch);
    EXPECT_EQ(run.exitCode, 4u);
    EXPECT_NE(run.err.find("refused to instantiate"), std::string::npos) << run.err;
}

TEST(HostProgram, ListsNameParametersAndCapabilities)
{
    ScratchFolder scratch;
    const HostRun run = runHost({plugin(), "--list", "--trace"}, scratch);
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(run.err.rfind("trace: ", 0), 0u) << "the plug-in's debug lines are echoed:\n" << run.err;
    for (const char* expected : {"name: Velmorant\n", "vendor: Korvanta\n", "outputs: 2", "parameters: 14", "Cutoff",
                                 "MIDI Out", "receiveVstMidiEvent  yes", "offline              no"}) {
        EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;
    }
}

TEST(HostProgram, ArpeggioNotesReachTheHostThroughThePlugIn)
{
    ScratchFolder scratch;
    const HostRun run = render(scratch, "arp.wav", {"--set", "MIDI Out=1"});
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    const size_t at = run.out.find("MIDI events from the plug-in: ");
    ASSERT_NE(at, std::string::npos) << run.out;
    EXPECT_GT(std::atoi(run.out.c_str() + at + std::strlen("MIDI events from the plug-in: ")), 20) << run.out;
}

TEST(HostProgram, BadArgumentsAreRefusedWithUsage)
{
    ScratchFolder scratch;
    for (std::vector<std::string> arguments :
         {std::vector<std::string>{plugin(), "--format", "12"}, std::vector<std::string>{plugin(), "--set", "Cutoff=2"},
          std::vector<std::string>{plugin(), "--block", "0"}, std::vector<std::string>{}}) {
        const HostRun run = runHost(arguments, scratch);
        EXPECT_EQ(run.exitCode, 1u);
        EXPECT_NE(run.err.find("usage: velmorant-host"), std::string::npos) << run.err;
    }
    const HostRun unknown = runHost({plugin(), "--set", "Wobble=0.5"}, scratch);
    EXPECT_EQ(unknown.exitCode, 1u);
    EXPECT_NE(unknown.err.find("no parameter 'Wobble'"), std::string::npos) << unknown.err;
}

}  // namespace
