#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "VstTestSupport.h"

namespace {

struct Helpers {
    DefaultEffect* effect = new DefaultEffect(nullptr);
    ~Helpers() { dispatch(effect->getEffectRecord(), effClose); }
};

VstSpeakerProperties speakerNamed(const char* name, int32_t type)
{
    VstSpeakerProperties speaker;
    std::memset(&speaker, 0, sizeof(speaker));
    speaker.azimuth = 0.5f;
    speaker.elevation = -0.25f;
    speaker.radius = 2.0f;
    speaker.reserved = 3.0f;
    std::strncpy(speaker.name, name, sizeof(speaker.name) - 1);
    speaker.type = type;
    std::memset(speaker.future, 0x3C, sizeof(speaker.future));
    return speaker;
}

bool allZero(const void* bytes, size_t size)
{
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < size; ++i) {
        if (p[i] != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

TEST(VstSpeakerArrangement, AllocateGivesAZeroedBlockForTheChannelsAndReplacesTheOld)
{
    Helpers h;
    VstSpeakerArrangement* arrangement = nullptr;

    ASSERT_TRUE(h.effect->allocateArrangement(&arrangement, 2));
    ASSERT_NE(arrangement, nullptr);
    EXPECT_EQ(arrangement->numChannels, 2);
    EXPECT_EQ(arrangement->type, 0);
    EXPECT_TRUE(allZero(arrangement->speakers, 2 * sizeof(VstSpeakerProperties)));

    ASSERT_TRUE(h.effect->allocateArrangement(&arrangement, 12));  // beyond the declared eight
    EXPECT_EQ(arrangement->numChannels, 12);
    EXPECT_TRUE(allZero(arrangement->speakers, 12 * sizeof(VstSpeakerProperties)));

    EXPECT_TRUE(h.effect->deallocateArrangement(&arrangement));
    EXPECT_EQ(arrangement, nullptr);
    EXPECT_TRUE(h.effect->deallocateArrangement(&arrangement));
    EXPECT_TRUE(h.effect->deallocateArrangement(nullptr));
}

TEST(VstSpeakerArrangement, AllocateRefusesHostileCountsAndLeavesThePlaceAlone)
{
    Helpers h;
    VstSpeakerArrangement* arrangement = nullptr;
    ASSERT_TRUE(h.effect->allocateArrangement(&arrangement, 1));
    VstSpeakerArrangement* const kept = arrangement;

    EXPECT_FALSE(h.effect->allocateArrangement(&arrangement, -1));
    EXPECT_EQ(arrangement, kept);
    EXPECT_FALSE(h.effect->allocateArrangement(nullptr, 1));
    if (sizeof(void*) == 4) {
        // 8 + 112 * count does not fit a 32-bit size
        EXPECT_FALSE(h.effect->allocateArrangement(&arrangement, 0x7FFFFFFF));
        EXPECT_EQ(arrangement, kept);
    }
    h.effect->deallocateArrangement(&arrangement);
}

TEST(VstSpeakerArrangement, CopySpeakerCopiesEveryFieldAndCutsTheNameTo63)
{
    Helpers h;
    VstSpeakerProperties from = speakerNamed("", 7);
    std::memset(from.name, 'n', sizeof(from.name));  // 64 characters, no terminator
    VstSpeakerProperties to;
    std::memset(&to, 0xEE, sizeof(to));

    ASSERT_TRUE(h.effect->copySpeaker(&to, &from));

    EXPECT_EQ(to.azimuth, 0.5f);
    EXPECT_EQ(to.elevation, -0.25f);
    EXPECT_EQ(to.radius, 2.0f);
    EXPECT_EQ(to.reserved, 3.0f);
    EXPECT_EQ(std::string(to.name), std::string(63, 'n'));
    EXPECT_EQ(to.type, 7);
    EXPECT_EQ(std::memcmp(to.future, from.future, sizeof(to.future)), 0);
    EXPECT_FALSE(h.effect->copySpeaker(nullptr, &from));
    EXPECT_FALSE(h.effect->copySpeaker(&to, nullptr));
}

TEST(VstSpeakerArrangement, CopySpeakerClearsTheNameBehindAShortSource)
{
    Helpers h;
    VstSpeakerProperties from = speakerNamed("Ls", 1);
    VstSpeakerProperties to;
    std::memset(&to, 0xEE, sizeof(to));
    ASSERT_TRUE(h.effect->copySpeaker(&to, &from));
    char expected[sizeof(to.name)] = {'L', 's'};
    EXPECT_EQ(std::memcmp(to.name, expected, sizeof(expected)), 0);
}

TEST(VstSpeakerArrangement, MatchArrangementCopiesTypeAndSpeakers)
{
    Helpers h;
    VstSpeakerArrangement* source = nullptr;
    ASSERT_TRUE(h.effect->allocateArrangement(&source, 10));
    source->type = 5;
    for (int32_t i = 0; i < 10; ++i) {
        const std::string name = "Speaker " + std::to_string(i);
        (source->speakers + i)[0] = speakerNamed(name.c_str(), 100 + i);
    }
    VstSpeakerArrangement* target = nullptr;
    ASSERT_TRUE(h.effect->allocateArrangement(&target, 1));  // replaced by the match

    ASSERT_TRUE(h.effect->matchArrangement(&target, source));

    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->type, 5);
    EXPECT_EQ(target->numChannels, 10);
    for (int32_t i = 0; i < 10; ++i) {
        const VstSpeakerProperties& speaker = (target->speakers + i)[0];
        EXPECT_EQ(std::string(speaker.name), "Speaker " + std::to_string(i));
        EXPECT_EQ(speaker.type, 100 + i);
    }
    h.effect->deallocateArrangement(&target);
    h.effect->deallocateArrangement(&source);
}

TEST(VstSpeakerArrangement, MatchArrangementFromNoChannelsGivesABareRecord)
{
    Helpers h;
    VstSpeakerArrangement source{};
    source.type = -2;
    source.numChannels = 0;
    VstSpeakerArrangement* target = nullptr;

    ASSERT_TRUE(h.effect->matchArrangement(&target, &source));

    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->type, -2);
    EXPECT_EQ(target->numChannels, 0);
    h.effect->deallocateArrangement(&target);
}

TEST(VstSpeakerArrangement, MatchArrangementRefusesNullAndHostileSourcesAndItself)
{
    Helpers h;
    VstSpeakerArrangement* target = nullptr;
    EXPECT_FALSE(h.effect->matchArrangement(&target, nullptr));
    EXPECT_EQ(target, nullptr);

    VstSpeakerArrangement negative{};
    negative.numChannels = -3;
    EXPECT_FALSE(h.effect->matchArrangement(&target, &negative));
    EXPECT_EQ(target, nullptr);

    // Matching an arrangement with itself must not free it under its own feet.
    ASSERT_TRUE(h.effect->allocateArrangement(&target, 2));
    target->type = 9;
    VstSpeakerArrangement* const same = target;
    EXPECT_TRUE(h.effect->matchArrangement(&target, same));
    EXPECT_EQ(target, same);
    EXPECT_EQ(target->type, 9);
    h.effect->deallocateArrangement(&target);
}
