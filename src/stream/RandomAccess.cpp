#include "RandomAccess.h"

namespace Korvanta {

uint32_t RandomAccess::tell()
{
    return seek(0, FromCurrent);
}

bool RandomAccess::skip(int32_t count)
{
    const int64_t before = tell();
    const int64_t after = seek(count, FromCurrent);
    return after - before == count;
}

}  // namespace Korvanta
