#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../support/DebugOutputCapture.h"
#include "trace/TraceMessage.h"
#include "trace/TracedDispatch.h"

namespace {

using velmorant_test::DebugOutputCapture;
using Lines = std::vector<std::string>;

// The repeat state a freshly constructed instance starts with.
struct RepeatState {
    int32_t lastTracedOpcode = -1;
    int32_t repeatCount = 0;

    void call(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f)
    {
        traceDispatcherCall(lastTracedOpcode, repeatCount, opcode, index, value, ptr, opt);
    }
};

TEST(TraceDispatch, FirstCallWritesTheZeroCountThenItsLine)
{
    DebugOutputCapture capture;
    ASSERT_TRUE(capture.active());
    RepeatState run;
    run.call(0);
    EXPECT_EQ(capture.texts(), (Lines{"  (0 times repeated)\n", "effOpen |0 0 00000000 0.000000\n"}));
    EXPECT_EQ(run.lastTracedOpcode, 0);
    EXPECT_EQ(run.repeatCount, 1);
}

TEST(TraceDispatch, RunWritesTwoLinesAndItsCountWhenAnotherOpcodeArrives)
{
    DebugOutputCapture capture;
    RepeatState run;
    run.call(8, 0);
    run.call(8, 1);
    run.call(8, 2);
    EXPECT_EQ(capture.count(), 3u) << "the third call of a run writes nothing";
    run.call(7, 4);
    EXPECT_EQ(capture.texts(), (Lines{
                                   "  (0 times repeated)\n",
                                   "effGetParamName |0 0 00000000 0.000000\n",
                                   "effGetParamName |1 0 00000000 0.000000\n",
                                   "  (3 times repeated)\n",
                                   "effGetParamDisplay |4 0 00000000 0.000000\n",
                               }));
}

TEST(TraceDispatch, SingleCallRunsAreFollowedByACountOfOne)
{
    DebugOutputCapture capture;
    RepeatState run;
    run.call(0);
    run.call(1);
    EXPECT_EQ(capture.texts(), (Lines{
                                   "  (0 times repeated)\n",
                                   "effOpen |0 0 00000000 0.000000\n",
                                   "  (1 times repeated)\n",
                                   "effClose |0 0 00000000 0.000000\n",
                               }));
}

TEST(TraceDispatch, IdleCallsAreNeitherTracedNorCountedNorEndARun)
{
    DebugOutputCapture capture;
    RepeatState run;
    run.call(7, 1);
    run.call(53);
    run.call(19);
    run.call(7, 2);
    run.call(53);
    run.call(7, 3);
    run.call(8);
    EXPECT_EQ(capture.texts(), (Lines{
                                   "  (0 times repeated)\n",
                                   "effGetParamDisplay |1 0 00000000 0.000000\n",
                                   "effGetParamDisplay |2 0 00000000 0.000000\n",
                                   "  (3 times repeated)\n",
                                   "effGetParamName |0 0 00000000 0.000000\n",
                               }));
}

TEST(TraceDispatch, IdleAsTheVeryFirstCallWritesNothing)
{
    DebugOutputCapture capture;
    RepeatState run;
    run.call(19);
    run.call(53);
    EXPECT_EQ(capture.count(), 0u);
    EXPECT_EQ(run.lastTracedOpcode, -1);
    EXPECT_EQ(run.repeatCount, 0);
}

TEST(TraceDispatch, LongRunStillWritesTwoCallLinesAndTheFullCount)
{
    DebugOutputCapture capture;
    RepeatState run;
    for (int i = 0; i < 1000; ++i)
        run.call(25);
    run.call(12, 0, 1);
    EXPECT_EQ(capture.texts(), (Lines{
                                   "  (0 times repeated)\n",
                                   "effProcessEvents |0 0 00000000 0.000000\n",
                                   "effProcessEvents |0 0 00000000 0.000000\n",
                                   "  (1000 times repeated)\n",
                                   "effMainsChanged: on |0 1 00000000 0.000000\n",
                               }));
}

TEST(TraceDispatch, CountStopsAtItsLargestValueInsteadOfWrapping)
{
    DebugOutputCapture capture;
    RepeatState run;
    run.lastTracedOpcode = 25;
    run.repeatCount = INT32_MAX - 1;
    run.call(25);
    run.call(25);
    run.call(1);
    EXPECT_EQ(capture.texts(), (Lines{"  (2147483647 times repeated)\n", "effClose |0 0 00000000 0.000000\n"}));
}

TEST(TraceDispatch, CutCallLineStillEndsWithItsLineEnd)
{
    DebugOutputCapture capture;
    RepeatState run;
    std::string capability(1000, 'k');
    run.call(51, 0, 0, &capability[0]);
    const Lines texts = capture.texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1], "effCanDo: " + std::string(254 - 10, 'k') + "\n");
}

TEST(TraceMessage, SendsTheFormattedTextAsOneOutputWithNothingAdded)
{
    DebugOutputCapture capture;
    traceMessage("setProgram: %d\n", 12);
    traceMessage("canDo: %s?", "receiveVstEvents");
    traceMessage("%f %f process completed\n", 1.5, 2.0);
    EXPECT_EQ(capture.texts(),
              (Lines{"setProgram: 12\n", "canDo: receiveVstEvents?", "1.500000 2.000000 process completed\n"}));
}

TEST(TraceMessage, LongTextIsCutTo255Characters)
{
    DebugOutputCapture capture;
    const std::string longText(5000, 'm');
    traceMessage("<%s>\n", longText.c_str());
    traceMessage(nullptr);
    const Lines texts = capture.texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "<" + std::string(254, 'm'));
}

}  // namespace
