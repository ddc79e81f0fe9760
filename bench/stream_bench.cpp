// Cost of saving a state chunk: a growable StreamBuffer filled through the
// OutputStream interface, at 64 KB, 1 MB and 16 MB, in 4-byte typed writes and
// in 64 KB raw writes, beside a plain memcpy of the same size into a fresh
// block and into a reused one. Saving must cost linear time: the 16 MB
// per-byte cost should stay within 1.5 times the 64 KB one. The two memcpy
// rows show what the system charges for fresh memory, which any writer of a
// new 16 MB block pays and a 64 KB block, served from warm heap, does not.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "stream/MemoryStream.h"
#include "stream/StreamBuffer.h"

using namespace Korvanta;

namespace {

const uint32_t RawPiece = 64 * 1024;
uint8_t rawSource[RawPiece];
volatile uint8_t sink;

// CPU time of this thread, user and kernel: the machine may be shared, and
// time spent waiting for a processor is no cost of saving.
double cpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    const auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;
    };
    return seconds(kernel) + seconds(user);
}

void saveTyped(uint32_t size)
{
    StreamBuffer* buffer = new StreamBuffer;
    MemoryStream stream(buffer);
    OutputStream& out = stream;
    for (uint32_t i = 0; i < size / 4; ++i) {
        out.writeInt32(static_cast<int32_t>(i));
    }
    sink = buffer->data()[size - 1];
    buffer->release();
}

void saveRaw(uint32_t size)
{
    StreamBuffer* buffer = new StreamBuffer;
    MemoryStream stream(buffer);
    OutputStream& out = stream;
    for (uint32_t done = 0; done < size; done += RawPiece) {
        out.writeRaw(rawSource, static_cast<int32_t>(RawPiece));
    }
    sink = buffer->data()[size - 1];
    buffer->release();
}

std::vector<uint8_t> copySource;

void copyFresh(uint32_t size)
{
    uint8_t* target = static_cast<uint8_t*>(std::malloc(size));
    std::memcpy(target, copySource.data(), size);
    sink = target[size - 1];
    std::free(target);
}

// The same copy into memory touched before: what remains of the copy once
// the system's cost of handing out fresh pages is taken away.
void copyReused(uint32_t size)
{
    static std::vector<uint8_t> target;
    target.resize(size);
    std::memcpy(target.data(), copySource.data(), size);
    sink = target[size - 1];
}

// Average over enough runs to fill half a second of processor time, in
// nanoseconds per byte. The clock is read once per batch of runs, batches
// doubling until one lasts 50 ms: reading it costs more than a 64 KB save.
double perByte(void (*save)(uint32_t), uint32_t size)
{
    double spent = 0;
    double runs = 0;
    for (int batch = 1; spent < 0.5; batch *= (spent < 0.05 ? 2 : 1)) {
        const double start = cpuSeconds();
        for (int i = 0; i < batch; ++i) {
            save(size);
        }
        spent += cpuSeconds() - start;
        runs += batch;
    }
    return spent * 1e9 / (static_cast<double>(size) * runs);
}

}  // namespace

int main()
{
    std::memset(rawSource, 0xA5, sizeof rawSource);
    const uint32_t sizes[] = {64u * 1024, 1024u * 1024, 16u * 1024 * 1024};
    const char* names[] = {"64 KB", "1 MB", "16 MB"};
    copySource.assign(sizes[2], 0x5A);
    struct Method {
        const char* name;
        void (*run)(uint32_t);
        double cost[3];
    } methods[] = {{"save, 4-byte writes", saveTyped, {}},
                   {"save, 64 KB writes", saveRaw, {}},
                   {"memcpy, fresh block", copyFresh, {}},
                   {"memcpy, reused block", copyReused, {}}};
    const Method& fresh = methods[2];

    for (Method& method : methods) {
        for (int s = 0; s < 3; ++s) {
            method.cost[s] = perByte(method.run, sizes[s]);
        }
    }
    std::printf("%-22s %8s %12s %18s\n", "method", "size", "ns per byte", "x fresh memcpy");
    for (const Method& method : methods) {
        for (int s = 0; s < 3; ++s) {
            std::printf("%-22s %8s %12.3f %18.2f\n", method.name, names[s], method.cost[s],
                        method.cost[s] / fresh.cost[s]);
        }
    }

    std::printf("\nper-byte cost ratios (goal for saving: 16 MB within 1.50 of 64 KB;\n"
                "a save that grew its block to the exact size each time would multiply\n"
                "the per-byte cost by 16 from 1 MB to 16 MB)\n");
    std::printf("%-22s %14s %14s %14s\n", "method", "1 MB / 64 KB", "16 MB / 64 KB", "16 MB / 1 MB");
    for (const Method& method : methods) {
        std::printf("%-22s %14.2f %14.2f %14.2f\n", method.name, method.cost[1] / method.cost[0],
                    method.cost[2] / method.cost[0], method.cost[2] / method.cost[1]);
    }
    return 0;
}
