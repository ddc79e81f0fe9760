// Block sharing, exact capacities, buffer access and counting across threads.
#include "SharedString.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <cstring>
#include <new>

using Korvanta::SharedString;

namespace {

int32_t refs(const SharedString& s)
{
    return s.data()->refCount;
}
int32_t capacity(const SharedString& s)
{
    return s.data()->capacity;
}

}  // namespace

TEST(StringBlock, EmptyStringsOfEveryOriginShareTheUncountedEmptyBlock)
{
    SharedString byDefault;
    SharedString fromNull(static_cast<const char*>(nullptr));
    SharedString fromBlank("");
    SharedString fromZeroBytes("abc", 0);
    SharedString fromNegativeRepeat('x', -4);
    SharedString emptied("text");
    emptied.empty();
    for (const SharedString* s : {&fromNull, &fromBlank, &fromZeroBytes, &fromNegativeRepeat, &emptied}) {
        EXPECT_EQ(byDefault.c_str(), s->c_str());
        EXPECT_EQ(0, s->getLength());
    }
    EXPECT_EQ(-1, refs(byDefault));
    EXPECT_EQ(0, capacity(byDefault));
    EXPECT_STREQ("", byDefault);
}

TEST(StringBlock, ConstructionAllocatesExactlyTheTextWithATerminator)
{
    SharedString bytes("ab\0cd", 5);
    EXPECT_EQ(5, bytes.getLength());
    EXPECT_EQ(5, capacity(bytes));
    EXPECT_EQ(0, std::memcmp(bytes.c_str(), "ab\0cd", 6));
    SharedString repeated('z', 3);
    EXPECT_STREQ("zzz", repeated);
    EXPECT_EQ(1, refs(repeated));
}

TEST(StringBlock, CopiesShareAndAWriteGivesTheWriterItsOwnBlock)
{
    SharedString original("plug.dll");
    SharedString copy(original);
    SharedString assigned;
    assigned = original;
    EXPECT_EQ(original.c_str(), copy.c_str());
    EXPECT_EQ(original.c_str(), assigned.c_str());
    EXPECT_EQ(3, refs(original));

    copy.append("!");
    EXPECT_STREQ("plug.dll!", copy);
    EXPECT_EQ(9, capacity(copy));
    assigned.setAt(0, 'P');
    EXPECT_STREQ("Plug.dll", assigned);
    EXPECT_STREQ("plug.dll", original);
    EXPECT_EQ(1, refs(original));
    EXPECT_EQ(1, refs(copy));
    EXPECT_EQ(1, refs(assigned));
}

TEST(StringBlock, AssigningTheSameBlockLeavesTheCountAlone)
{
    SharedString a("name");
    SharedString b(a);
    a = a;
    a = b;
    b.assign(a);
    EXPECT_EQ(2, refs(a));
    EXPECT_EQ(a.c_str(), b.c_str());
}

TEST(StringBlock, AssigningEmptyTextKeepsAnExclusiveBlockButEmptyReleasesIt)
{
    SharedString s("longer text");
    const char* block = s.c_str();
    s = "";
    EXPECT_EQ(block, s.c_str());
    EXPECT_EQ(0, s.getLength());
    EXPECT_EQ(11, capacity(s));
    s = SharedString();
    EXPECT_EQ(block, s.c_str());
    s = "short";
    EXPECT_EQ(block, s.c_str());
    EXPECT_EQ(11, capacity(s));
    s.freeExtra();
    EXPECT_EQ(5, capacity(s));
    EXPECT_STREQ("short", s);
    s.empty();
    EXPECT_EQ(SharedString().c_str(), s.c_str());
}

TEST(StringBlock, AppendGrowsToExactlyTheSumAndFillsSpareRoomInPlace)
{
    SharedString s;
    s.append("ab");
    EXPECT_EQ(2, capacity(s));
    s.append('c');
    EXPECT_EQ(3, capacity(s));
    s.append(s);
    EXPECT_STREQ("abcabc", s);
    EXPECT_EQ(6, capacity(s));
    s.append(static_cast<const char*>(nullptr));
    s.getBuffer(10);
    const char* block = s.c_str();
    s.append("xyz");
    EXPECT_EQ(block, s.c_str());
    EXPECT_STREQ("abcabcxyz", s);
    SharedString sum = SharedString("ab") + "cd" + 'e';
    EXPECT_STREQ("abcde", sum);
    EXPECT_EQ(5, capacity(sum));
    EXPECT_EQ(SharedString().c_str(), (SharedString() + "").c_str());
}

TEST(StringBlock, LockedBufferIsCopiedOnAssignmentAndCountedAgainAfterUnlock)
{
    SharedString s("locked");
    SharedString other(s);
    char* buffer = s.lockBuffer();
    EXPECT_NE(other.c_str(), s.c_str());
    EXPECT_EQ(-1, refs(s));
    SharedString copy(s);
    SharedString assigned;
    assigned = s;
    buffer[0] = 'L';
    EXPECT_NE(s.c_str(), copy.c_str());
    EXPECT_NE(s.c_str(), assigned.c_str());
    EXPECT_STREQ("locked", copy);
    EXPECT_STREQ("Locked", s);
    s.unlockBuffer();
    EXPECT_EQ(1, refs(s));
    SharedString shared(s);
    EXPECT_EQ(2, refs(s));
    // Unlocking a counted block, or the empty one, changes no count.
    s.unlockBuffer();
    EXPECT_EQ(2, refs(s));
    SharedString blank;
    blank.lockBuffer();
    blank.unlockBuffer();
    EXPECT_EQ(-1, refs(blank));
}

TEST(StringBlock, SetAtNulShortensTheTextButNotTheLength)
{
    SharedString name("plug.dll");
    SharedString keeper(name);
    name.setAt(name.getLength() - 4, '\0');
    EXPECT_EQ(8, name.getLength());
    EXPECT_STREQ("plug", name);
    EXPECT_STREQ("plug.dll", keeper);
    name.setAt(-1, 'x');
    name.setAt(100, 'x');
    EXPECT_EQ('\0', name.getAt(100));
    EXPECT_EQ('.', keeper.getAt(4));
}

TEST(StringBlock, ReleaseBufferMeasuresToTheFirstNulAndStaysInsideTheBlock)
{
    SharedString s;
    char* buffer = s.getBuffer(8);
    EXPECT_EQ(8, capacity(s));
    std::memcpy(buffer, "ab\0cd", 5);
    s.releaseBuffer(-1);
    EXPECT_EQ(2, s.getLength());
    EXPECT_STREQ("ab", s);
    s.releaseBuffer(50);
    EXPECT_EQ(8, s.getLength());
    EXPECT_EQ('\0', s.c_str()[8]);

    char* set = s.getBufferSetLength(3);
    EXPECT_EQ(s.c_str(), set);
    EXPECT_EQ(3, s.getLength());
    EXPECT_EQ('\0', set[3]);
    SharedString copy(s);
    EXPECT_NE(copy.c_str(), s.getBuffer(0));
    EXPECT_EQ(3, capacity(s));
}

TEST(StringBlock, AllocationFailureLeavesTheStringValid)
{
    SharedString s("kept");
    EXPECT_THROW(s.getBuffer(INT32_MAX), std::bad_alloc);
    EXPECT_STREQ("kept", s);
    EXPECT_EQ(1, refs(s));
    s.getBuffer(64);
    EXPECT_THROW(s.getBufferSetLength(INT32_MAX), std::bad_alloc);
    EXPECT_STREQ("kept", s);
}

namespace {

struct ThreadWork {
    const SharedString* source;
    HANDLE start;
    int mismatches;
};

DWORD WINAPI copyAndRelease(void* parameter)
{
    ThreadWork* work = static_cast<ThreadWork*>(parameter);
    WaitForSingleObject(work->start, INFINITE);
    for (int i = 0; i < 100000; ++i) {
        SharedString copy(*work->source);
        SharedString second(copy);
        SharedString third;
        third = second;
        if (i % 64 == 0) {
            third.append('+');
            if (std::strcmp(third, "shared text+") != 0 || std::strcmp(second, "shared text") != 0)
                ++work->mismatches;
        }
    }
    return 0;
}

}  // namespace

TEST(StringBlock, CopiesMadeAndReleasedOnTwoThreadsKeepTheCountExact)
{
    SharedString source("shared text");
    HANDLE start = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, start);
    ThreadWork work[2] = {{&source, start, 0}, {&source, start, 0}};
    HANDLE threads[2];
    for (int i = 0; i < 2; ++i) {
        threads[i] = CreateThread(nullptr, 0, copyAndRelease, &work[i], 0, nullptr);
        ASSERT_NE(nullptr, threads[i]);
    }
    SetEvent(start);
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    for (HANDLE thread : threads)
        CloseHandle(thread);
    CloseHandle(start);
    EXPECT_EQ(0, work[0].mismatches + work[1].mismatches);
    EXPECT_EQ(1, refs(source));
    EXPECT_STREQ("shared text", source);
}

namespace {

HMODULE loadBesideTests(const char* name)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    char* slash = std::strrchr(path, '\\');
    if (length == 0 || slash == nullptr || (slash - path) + std::strlen(name) + 2 > sizeof path)
        return nullptr;
    std::strcpy(slash + 1, name);
    return LoadLibraryA(path);
}

}  // namespace

TEST(StringBlock, ABlockFromAnotherModuleIsFreedByThatModule)
{
    HMODULE probe = loadBesideTests("StringProbe.dll");
    ASSERT_NE(nullptr, probe);
    using AssignText = void (*)(SharedString*, const char*);
    using LiveAllocations = int (*)();
    auto assignText = reinterpret_cast<AssignText>(reinterpret_cast<void*>(GetProcAddress(probe, "probeAssignText")));
    auto live =
        reinterpret_cast<LiveAllocations>(reinterpret_cast<void*>(GetProcAddress(probe, "probeLiveAllocations")));
    ASSERT_NE(nullptr, assignText);
    ASSERT_NE(nullptr, live);
    int before = live();
    {
        SharedString text;
        assignText(&text, "made in the probe");
        EXPECT_STREQ("made in the probe", text);
        EXPECT_EQ(before + 1, live());
        SharedString copy(text);
        copy.append('!');
        text = copy;  // drops the last reference to the probe's block here
        EXPECT_EQ(before, live());
        assignText(&copy, "again");
    }
    EXPECT_EQ(before, live());
    FreeLibrary(probe);
}

TEST(StringAddress, ValidityFollowsThePageProtection)
{
    char stack[16] = {};
    EXPECT_TRUE(Korvanta::isValidAddress(stack, sizeof stack));
    EXPECT_FALSE(Korvanta::isValidAddress(nullptr, 1, false));
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READONLY);
    ASSERT_NE(nullptr, page);
    EXPECT_TRUE(Korvanta::isValidAddress(page, 4096, false));
    EXPECT_FALSE(Korvanta::isValidAddress(page, 4096, true));
    VirtualFree(page, 0, MEM_RELEASE);
    EXPECT_FALSE(Korvanta::isValidAddress(page, 1, false));
    EXPECT_EQ(0, Korvanta::safeTextLength(nullptr));
    EXPECT_EQ(3, Korvanta::safeTextLength("abc"));
}
