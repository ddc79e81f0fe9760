#include <cstdlib>

#include "CommandLine.h"
#include "HostTestSupport.h"

namespace {

std::string plugin()
{
    return binaryFolder() + "Velmorant.dll";
}

// The number after `label` in the host's report, or -1 when it is missing.
long long figure(const std::string& out, const std::string& label)
{
    const size_t at = out.find(label);
    if (at == std::string::npos) {
        return -1;
    }
    return std::strtoll(out.c_str() + at + label.size(), nullptr, 10);
}

TEST(HostSoak, OptionsAreReadAndNonsenseRefused)
{
    using host::Options;
    using host::parseCommandLine;
    Options options;
    std::string error;
    ASSERT_TRUE(parseCommandLine(
        {"p.dll", "--soak", "90", "--state-every", "2.5", "--edit-every", "0", "--report-every", "30"}, options, error))
        << error;
    EXPECT_EQ(options.soakSeconds, 90.0);
    EXPECT_EQ(options.stateEverySeconds, 2.5);
    EXPECT_EQ(options.editEverySeconds, 0.0);
    EXPECT_EQ(options.reportEverySeconds, 30.0);
    EXPECT_TRUE(options.dragHeights.empty());  // the plug-in's rectangle decides

    ASSERT_TRUE(parseCommandLine({"p.dll", "--soak", "9", "--drag-at", "96,316,60,84"}, options, error)) << error;
    EXPECT_EQ(options.dragLeft, 96);
    EXPECT_EQ(options.dragRight, 316);
    EXPECT_EQ(options.dragHeights, (std::vector<int32_t>{60, 84}));

    for (const std::vector<std::string>& bad : {std::vector<std::string>{"p.dll", "--soak", "0"},
                                                {"p.dll", "--soak", "-5"},
                                                {"p.dll", "--soak", "nan"},
                                                {"p.dll", "--soak", "10", "--out", "x.wav"},
                                                {"p.dll", "--state-every", "0.001"},
                                                {"p.dll", "--edit-every", "-1"},
                                                {"p.dll", "--report-every"},
                                                {"p.dll", "--drag-at", "5,5,1"},
                                                {"p.dll", "--drag-at", "1,2"},
                                                {"p.dll", "--drag-at", "1,2,x"},
                                                {"p.dll", "--drag-at", "1,2,3,"},
                                                {"p.dll", "--drag-at", "1,40000,3"}}) {
        EXPECT_FALSE(parseCommandLine(bad, options, error)) << bad[1] << " " << (bad.size() > 2 ? bad[2] : "");
        EXPECT_FALSE(error.empty());
    }
}

// 12 s of 64-frame blocks over the 9 s phrase: one loop back, a state round
// trip every second (the tenth with suspend and resume), the MIDI echo on.
TEST(HostSoak, LoopsThePhraseAndRestoredStatesReadBackUnchanged)
{
    ScratchFolder scratch;
    const HostRun run = runHost(
        {plugin(), "--soak", "12", "--block", "64", "--state-every", "1", "--edit-every", "0", "--set", "MIDI Out=0.5"},
        scratch);
    ASSERT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_EQ(figure(run.out, "blocks of 64 ("), 1) << run.out;  // loops
    EXPECT_EQ(figure(run.out, "state round trips: "), 12) << run.out;
    EXPECT_EQ(figure(run.out, "state round trips: 12 ("), 1) << run.out;  // with suspend and resume
    EXPECT_EQ(figure(run.out, "mismatches: "), 0) << run.out;
    // Each pass of the phrase plays its 33 notes; the echo returns every note-on and note-off.
    const long long notes = figure(run.out, "notes played: ");
    EXPECT_GT(notes, 33) << run.out;
    EXPECT_GE(figure(run.out, "MIDI events from the plug-in: "), 2 * 33) << run.out;
    for (const char* moment : {"memory after load: ", "memory after warm-up: ", "memory at end: "}) {
        const size_t line = run.out.find(moment);
        ASSERT_NE(line, std::string::npos) << moment;
        EXPECT_GT(figure(run.out.substr(line), "heap "), 0) << moment;
        // Counters the platform leaves at 0 must not read as measured zeros.
        const std::string text = run.out.substr(line, run.out.find('\n', line) - line);
        for (const char* zero : {"private 0 ", "handles 0", "window objects 0", "GDI objects 0"})
            EXPECT_EQ(text.find(zero), std::string::npos) << text;
    }
}

// Drags in the plug-in's own window make the engine report each change; the
// plug-in passes every one to the host as automation. Without --drag-at they
// cross the middle of the window the plug-in reports, where the reference
// engine has a slider at every height. Needs a window station.
TEST(HostSoak, DragsInTheEditorReachTheHostAsAutomation)
{
    ScratchFolder scratch;
    const HostRun run =
        runHost({plugin(), "--soak", "3", "--block", "64", "--state-every", "0", "--edit-every", "0.5"}, scratch);
    ASSERT_EQ(run.exitCode, 0u) << run.out << run.err;
    if (run.out.find("editor: none") != std::string::npos) {
        GTEST_SKIP() << "no window station to open the editor in";
    }
    EXPECT_EQ(figure(run.out, "drags: "), 6) << run.out;
    // A press and two moves per drag, each a reported change.
    EXPECT_EQ(figure(run.out, "automation from the plug-in: "), 18) << run.out;

    // Along the reference engine's title, above its first slider, the same
    // drags change nothing.
    const HostRun title = runHost({plugin(), "--soak", "3", "--block", "64", "--state-every", "0", "--edit-every",
                                   "0.5", "--drag-at", "96,316,12"},
                                  scratch);
    ASSERT_EQ(title.exitCode, 0u) << title.out << title.err;
    EXPECT_EQ(figure(title.out, "drags: "), 6) << title.out;
    EXPECT_EQ(figure(title.out, "automation from the plug-in: "), 0) << title.out;
}

}  // namespace
