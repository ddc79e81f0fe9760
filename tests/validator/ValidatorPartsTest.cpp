// The validator's own tricky parts: the guard page behind host buffers, the
// import patching that counts heap calls, the channel to the child, the
// report and the measures the audio checks rely on.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "ChildChannel.h"
#include "ChildRunner.h"
#include "CommandLine.h"
#include "EngineInstance.h"
#include "GuardedBuffer.h"
#include "ImportPatcher.h"
#include "Rendering.h"
#include "Report.h"

using namespace validator;

namespace {

std::string besideTest(const char* file)
{
    char path[MAX_PATH * 2] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + file;
}

TEST(GuardedBuffer, EndsExactlyWhereAnInaccessiblePageBegins)
{
    for (size_t size : {size_t(0), size_t(1), size_t(9), size_t(4096), size_t(4097)}) {
        GuardedBuffer buffer(size);
        ASSERT_TRUE(buffer.valid());
        if (size > 0) {
            EXPECT_FALSE(IsBadWritePtr(buffer.data(), size)) << size;
        }
        MEMORY_BASIC_INFORMATION after = {};
        ASSERT_NE(VirtualQuery(buffer.data() + size, &after, sizeof after), 0u);
        EXPECT_EQ(after.Protect, static_cast<DWORD>(PAGE_NOACCESS)) << size;
        EXPECT_TRUE(IsBadReadPtr(buffer.data() + size, 1)) << size;
    }
}

TEST(GuardedBuffer, FindsTheTerminatorOnlyInsideTheBuffer)
{
    GuardedBuffer buffer(9);
    EXPECT_EQ(buffer.terminatedLength(), -1);
    EXPECT_EQ(buffer.text(), std::string(9, '\xA5'));
    std::memcpy(buffer.data(), "Gain", 5);
    EXPECT_EQ(buffer.terminatedLength(), 4);
    EXPECT_EQ(buffer.text(), "Gain");
    std::memcpy(buffer.data(), "12345678", 9);
    EXPECT_EQ(buffer.terminatedLength(), 8);
}

class ImportPatcherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(module.load(besideTest("ValidatorEngineAllocates.dll"), error)) << error;
    }

    // One block of the engine that allocates in every render.
    void renderOneBlock()
    {
        EngineInstance engine(module);
        ASSERT_TRUE(engine.created());
        engine.start(44100.0f, 64);
        Scenario scenario;
        scenario.frames = 64;
        RenderOptions options;
        options.blockSize = 64;
        render(engine, scenario, options);
    }

    static uint32_t calls(const char* function)
    {
        for (const CallCount& count : ImportPatcher::counts()) {
            if (std::string(count.function) == function) {
                return count.count;
            }
        }
        return 0;
    }

    EngineModule module;
};

TEST_F(ImportPatcherTest, CountsTheModulesHeapCallsOnlyWhileArmed)
{
    ImportPatcher patcher(module.handle());
    ImportPatcher::resetCounts();
    renderOneBlock();
    EXPECT_EQ(ImportPatcher::total(CallKind::Allocation), 0u);

    ImportPatcher::arm(true);
    renderOneBlock();  // construction and release allocate too: armed throughout
    ImportPatcher::arm(false);
    EXPECT_GE(calls("malloc"), 1u);
    EXPECT_GE(calls("free"), 1u);
    EXPECT_EQ(ImportPatcher::total(CallKind::Blocking), 0u);
    bool mallocWatched = false;
    for (const std::string& name : patcher.patched()) {
        mallocWatched = mallocWatched || name == "malloc";
    }
    EXPECT_TRUE(mallocWatched);
}

TEST_F(ImportPatcherTest, GivesTheImportsBackWhenDestroyed)
{
    {
        ImportPatcher patcher(module.handle());
    }
    ImportPatcher::resetCounts();
    ImportPatcher::arm(true);
    renderOneBlock();
    ImportPatcher::arm(false);
    EXPECT_EQ(ImportPatcher::total(CallKind::Allocation), 0u);
}

TEST(ChildChannel, CarriesVerdictsAndTheLastCallAcrossTheSharedBlock)
{
    std::unique_ptr<ChildChannel> parent(ChildChannel::create());
    ASSERT_NE(parent, nullptr);
    Verdict passed;
    passed.name = "audio.silence";
    passed.note("first\tnote");
    passed.note("second");
    Verdict failed;
    failed.name = "params.range";
    failed.fail("getParameter(3)", "a value in [0, 1]", "1.5\nand more");
    parent->beginCheck(1);
    parent->addResult(passed);
    parent->addResult(failed);
    parent->setLastCall("renderReplacing(outputs, 512)");
    parent->setCrash(0xC0000005u, 0x1234);

    const std::vector<Verdict> read = parent->results();
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].name, "audio.silence");
    EXPECT_EQ(read[0].status, Status::Pass);
    EXPECT_EQ(read[0].notes, (std::vector<std::string>{"first note", "second"}));
    EXPECT_EQ(read[1].status, Status::Fail);
    EXPECT_EQ(read[1].message, "getParameter(3): expected a value in [0, 1], observed 1.5 and more");
    EXPECT_EQ(parent->currentCheck(), 1);
    EXPECT_EQ(parent->startedChecks(), 1u);
    EXPECT_EQ(parent->lastCall(), "renderReplacing(outputs, 512)");
    parent->setLastCall("renderReplacing(outputs, 512)");
    EXPECT_EQ(parent->engineCalls(), 2u) << "the same call made again is progress too";
    EXPECT_EQ(parent->crashCode(), 0xC0000005u);
    EXPECT_EQ(parent->crashAddress(), 0x1234u);
    parent->reset();
    EXPECT_TRUE(parent->results().empty());
    EXPECT_EQ(parent->crashCode(), 0u);
    EXPECT_EQ(parent->engineCalls(), 0u);
}

// A child that never reaches the engine (here: a program that does not exist,
// and one that ends at once without opening the channel) is started three
// times; the verdict says so, and what ended the last attempt.
TEST(ChildRunner, StartsAChildThatNeverGotGoingAgainAndThenReportsTheFailure)
{
    Options options;
    options.enginePath = besideTest("ValidatorEngineAllocates.dll");
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, sizeof system);
    const struct {
        std::string program;
        const char* failure;
    } children[] = {{besideTest("no-such-validator.exe"), "the child process does not start"},
                    {std::string(system) + "\\hostname.exe", "the child process ended with exit code"}};
    for (const auto& child : children) {
        ChildRunner runner(options, child.program);
        std::vector<std::string> heard;
        const std::vector<Verdict> verdicts =
            runner.run({"exports.factory"}, [&](const Verdict& verdict) { heard.push_back(verdict.name); });
        ASSERT_EQ(verdicts.size(), 1u) << child.program;
        EXPECT_EQ(heard, std::vector<std::string>{"exports.factory"}) << child.program;
        EXPECT_EQ(verdicts[0].status, Status::Fail) << child.program;
        EXPECT_EQ(verdicts[0].message.rfind(child.failure, 0), 0u) << child.program << ": " << verdicts[0].message;
        ASSERT_EQ(verdicts[0].notes.size(), 2u) << child.program;
        for (const std::string& note : verdicts[0].notes)
            EXPECT_EQ(note.rfind(std::string("started again after: ") + child.failure, 0), 0u)
                << child.program << ": " << note;
    }
}

TEST(Report, WritesOneLinePerCheckAndEscapedJson)
{
    Verdict failed;
    failed.name = "state.roundtrip";
    failed.fail("save \"twice\"");
    Verdict skipped;
    skipped.name = "editor.open-close";
    skipped.skip("no window station");
    skipped.fail("a failure is never hidden by a skip");
    Verdict later;
    later.name = "editor.size";
    later.skip("why");
    const std::vector<Verdict> verdicts = {failed, skipped, later};
    EXPECT_EQ(reportLine(failed), "FAIL state.roundtrip: save \"twice\"");
    EXPECT_EQ(skipped.status, Status::Fail);
    EXPECT_EQ(reportLine(later), "SKIP editor.size: why");
    EXPECT_EQ(closingLine(count(verdicts)), "0 passed, 2 failed, 1 skipped");
    EXPECT_EQ(closingLine(Totals{3, 0, 0}), "3 passed, 0 failed");
    const std::string json = jsonReport("C:\\e.dll", verdicts);
    EXPECT_NE(json.find("\"engine\": \"C:\\\\e.dll\""), std::string::npos);
    EXPECT_NE(json.find("\"message\": \"save \\\"twice\\\"\""), std::string::npos);
    EXPECT_NE(json.find("\"status\": \"skip\""), std::string::npos);
    EXPECT_NE(json.find("\"failed\": 2"), std::string::npos);
}

TEST(CommandLine, ReadsOptionsAndRejectsWhatItDoesNotKnow)
{
    const char* arguments[] = {"v", "e.dll",         "--include", "audio\\.", "--seed",
                               "7", "--only-failed", "--child",   "a.b,c.d"};
    Options options;
    std::string error;
    ASSERT_TRUE(parseCommandLine(9, const_cast<char**>(arguments), options, error)) << error;
    EXPECT_EQ(options.enginePath, "e.dll");
    EXPECT_EQ(options.include, "audio\\.");
    EXPECT_EQ(options.seed, 7u);
    EXPECT_TRUE(options.onlyFailed);
    EXPECT_EQ(options.childChecks, (std::vector<std::string>{"a.b", "c.d"}));

    const char* unknown[] = {"v", "e.dll", "--fast"};
    Options other;
    EXPECT_FALSE(parseCommandLine(3, const_cast<char**>(unknown), other, error));
    EXPECT_EQ(error, "unknown option --fast");
    const char* noEngine[] = {"v", "--seed", "x"};
    EXPECT_FALSE(parseCommandLine(3, const_cast<char**>(noEngine), other, error));
}

TEST(Measures, CountIdenticalNansAsNoDifferenceAndFindTheSilentTail)
{
    const float nan = std::nanf("");
    const Sound a = {{0.0f, nan, 0.5f, 0.0f}};
    const Sound b = {{0.0f, nan, 0.25f, 0.0f}};
    const Sound c = {{0.0f, 0.0f, 0.5f, 0.0f}};
    EXPECT_EQ(largestDifference(a, a), 0.0);
    EXPECT_EQ(largestDifference(a, b), 0.25);
    EXPECT_TRUE(std::isinf(largestDifference(a, c)));
    EXPECT_TRUE(std::isinf(largestDifference(a, Sound{{0.0f}})));
    EXPECT_EQ(countNonFinite(a), 1);
    EXPECT_EQ(countDenormal(Sound{{1.0e-40f, -1.0e-39f, 1.0e-30f}}), 2);
    EXPECT_EQ(silentFrom(c, silenceThreshold), 3);
    EXPECT_EQ(peak(a), 0.5f);
}

}  // namespace
