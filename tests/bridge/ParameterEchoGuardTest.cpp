// The parameter-echo guard: host writes in progress, engine reports, throws.
#include <gtest/gtest.h>

#include "BridgePartsFakes.h"
#include "bridge/ParameterEchoGuard.h"

namespace bridge_test {
namespace {

bridge::ParameterEchoGuard* activeGuard = nullptr;
FakeBridgeHost* activeHost = nullptr;
FakeEngine* activeEngine = nullptr;

// An engine that echoes every host write back as a report of its own.
void echoTheWrite(int32_t index)
{
    activeGuard->engineReported(activeEngine, *activeHost, index, SoftSynthParameterChanged);
}

void throwFromTheWrite(int32_t)
{
    throw std::runtime_error("engine failed");
}

TEST(ParameterEchoGuard, ReportsOutsideAHostWriteAreAutomatedWithTheEngineValue)
{
    FakeBridgeHost host;
    FakeEngine engine;
    bridge::ParameterEchoGuard guard;
    guard.engineReported(&engine, host, 5, SoftSynthParameterChanged);
    guard.engineReported(&engine, host, 5, 2);  // not a parameter change
    guard.engineReported(nullptr, host, 5, SoftSynthParameterChanged);
    ASSERT_EQ(host.automated.size(), 1u);
    EXPECT_EQ(host.automated[0].index, 5);
    EXPECT_EQ(host.automated[0].value, 1.25f);
}

TEST(ParameterEchoGuard, AnEchoDuringNestedHostWritesIsDropped)
{
    FakeBridgeHost host;
    FakeEngine engine;
    bridge::ParameterEchoGuard guard;
    activeGuard = &guard;
    activeHost = &host;
    activeEngine = &engine;
    engine.onSetParameter = echoTheWrite;
    {
        bridge::ParameterEchoGuard::HostWrite outer(guard);
        {
            bridge::ParameterEchoGuard::HostWrite inner(guard);
            engine.setParameter(3, 0.5f);
        }
        EXPECT_TRUE(guard.hostWriteInProgress());
        engine.setParameter(3, 0.5f);
    }
    EXPECT_FALSE(guard.hostWriteInProgress());
    EXPECT_TRUE(host.automated.empty());
    engine.setParameter(3, 0.5f);  // no write in progress: automated
    EXPECT_EQ(host.automated.size(), 1u);
}

TEST(ParameterEchoGuard, AnEngineThrowingInsideAHostWriteLeavesNoWriteInProgress)
{
    FakeBridgeHost host;
    FakeEngine engine;
    bridge::ParameterEchoGuard guard;
    engine.onSetParameter = throwFromTheWrite;
    EXPECT_THROW(
        {
            bridge::ParameterEchoGuard::HostWrite write(guard);
            engine.setParameter(1, 0.0f);
        },
        std::runtime_error);
    EXPECT_FALSE(guard.hostWriteInProgress());
    guard.engineReported(&engine, host, 1, SoftSynthParameterChanged);
    EXPECT_EQ(host.automated.size(), 1u);
}

}  // namespace
}  // namespace bridge_test
