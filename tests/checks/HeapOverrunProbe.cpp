// Writes one byte past a malloc block: run under Wine's heap checking, it
// must be reported (the test heap_check_probe).
#include <cstdio>
#include <cstdlib>

int main(int argc, char**)
{
    // The size comes from the command line so the compiler cannot see the
    // overrun; volatile keeps the store into memory that is about to be freed.
    const std::size_t size = 23 + static_cast<std::size_t>(argc);
    volatile char* block = static_cast<volatile char*>(std::malloc(size));
    block[size] = 'x';
    std::free(const_cast<char*>(block));
    std::puts("overrun written");
    return 0;
}
