// A signed overflow: in the undefined-behaviour build it must trap rather
// than wrap (the test ubsan_probe).
#include <climits>
#include <cstdio>

int main(int argc, char**)
{
    volatile int largest = INT_MAX;
    const int sum = largest + argc;
    std::printf("wrapped to %d\n", sum);
    return 0;
}
