// The main of every test executable: GoogleTest's, with two additions.
//
// A run in which some case skipped and none failed exits with 77, which CTest
// reports as skipped (SKIP_RETURN_CODE), so a skip does not pass silently.
// With --skips-fail (the display entries, where every case must run) a skip
// is a failure instead.
//
// VELMORANT_LEFT_OUT (":"-separated patterns) adds cases to leave out to
// whatever filter GoogleTest already has: the main entries leave out the
// cases that need a display, which run in the display entries.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string withCasesLeftOut(const std::string& filter, const std::string& leftOut)
{
    if (leftOut.empty())
        return filter;
    if (filter.find('-') != std::string::npos)
        return filter + ":" + leftOut;
    return (filter.empty() ? std::string("*") : filter) + "-" + leftOut;
}

}  // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);

    bool skipsFail = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--skips-fail") == 0) {
            skipsFail = true;
        } else {
            std::fprintf(stderr, "unknown argument: %s\n", argv[i]);
            return 2;
        }
    }
    if (const char* leftOut = std::getenv("VELMORANT_LEFT_OUT"))
        GTEST_FLAG_SET(filter, withCasesLeftOut(GTEST_FLAG_GET(filter), leftOut));

    const int result = RUN_ALL_TESTS();
    const testing::UnitTest& run = *testing::UnitTest::GetInstance();
    if (result != 0 || run.skipped_test_count() == 0)
        return result;
    if (skipsFail) {
        // The display entries fail on this line as on a failed case.
        std::printf("[  FAILED  ] %d skipped test(s) where every test must run\n", run.skipped_test_count());
        return 1;
    }
    return 77;
}
