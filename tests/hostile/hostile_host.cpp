// The hostile host as a program, for long campaigns (scripts/fuzz) and for
// replaying one seed exactly:
//
//   hostile_host [--engine FILE] [--seed N] [--seeds N] [--calls N]
//                [--chunks N] [--leak N] [--threads] [--verbose] [--hang-seconds N]
//
// Runs seeds N .. N+seeds-1 of the randomized host (each from instantiation to
// effClose), then, with --chunks, that many damaged chunks per seed, and with
// --leak, N repeated sessions of the first seed with a heap census. With
// --threads (not under emulated 32-bit Wine) a second thread reads and writes
// parameters and their texts all the while, as a host's user interface does
// during processing; such runs do not replay exactly. Engines are found beside
// the program. The last line counts the seeds: "N passed, N failed". Exit code
// 0 only when every seed passed.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Emulation.h"
#include "GarbageChunks.h"
#include "HeapCensus.h"
#include "HostileHost.h"
#include "PluginStage.h"

namespace {

struct Arguments {
    std::string engine = "VelmorantEngine.dll";
    unsigned long long seed = 1;
    long long seeds = 1;
    long long calls = 5000;
    long long chunks = 0;
    long long leak = 0;
    bool verbose = false;
    bool threads = false;
    unsigned hangSeconds = 60;
};

// The user-interface thread of a host: parameter values and texts, read and
// written while the other thread processes.
class ParameterTraffic {
public:
    ParameterTraffic(EffectRecord* effect, uint64_t seed) : effect(effect), random(seed * 7919u + 17u)
    {
        thread = CreateThread(nullptr, 0, &ParameterTraffic::run, this, 0, nullptr);
    }

    // Stops the thread; empty when nothing went wrong on it.
    std::string finish()
    {
        stop.store(true);
        if (thread != nullptr) {
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
            thread = nullptr;
        }
        return fault;
    }

    ~ParameterTraffic() { finish(); }

private:
    static DWORD WINAPI run(void* self)
    {
        static_cast<ParameterTraffic*>(self)->loop();
        return 0;
    }

    void loop()
    {
        static const int32_t textOpcodes[] = {effGetParamLabel, effGetParamDisplay, effGetParamName};
        while (!stop.load() && fault.empty()) {
            const int32_t index = random.between(-1, effect->numParams);
            switch (random.below(3)) {
            case 0:
                effect->setParameterEntry(effect, index, random.floatBoundary());
                break;
            case 1:
                (void)effect->getParameterEntry(effect, index);
                break;
            default: {
                hostile_test::GuardedBlock text(9, 0xCC, "parameter text on the interface thread");
                effect->dispatcherEntry(effect, random.pick(textOpcodes), index, 0, text.data(), 0.0f);
                fault = text.damage();
                if (fault.empty() && text.written(0xCC) && !text.terminated())
                    fault = text.name() + ": written without a terminator inside the buffer";
                break;
            }
            }
        }
    }

    EffectRecord* effect;
    hostile_test::HostileRandom random;
    std::atomic<bool> stop{false};
    std::string fault;
    HANDLE thread = nullptr;
};

bool parse(int argc, char** argv, Arguments& arguments)
{
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--verbose" || name == "--threads") {
            (name == "--verbose" ? arguments.verbose : arguments.threads) = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const char* value = argv[++i];
        if (name == "--engine")
            arguments.engine = value;
        else if (name == "--seed")
            arguments.seed = std::strtoull(value, nullptr, 10);
        else if (name == "--seeds")
            arguments.seeds = std::strtoll(value, nullptr, 10);
        else if (name == "--calls")
            arguments.calls = std::strtoll(value, nullptr, 10);
        else if (name == "--chunks")
            arguments.chunks = std::strtoll(value, nullptr, 10);
        else if (name == "--leak")
            arguments.leak = std::strtoll(value, nullptr, 10);
        else if (name == "--hang-seconds")
            arguments.hangSeconds = static_cast<unsigned>(std::strtoul(value, nullptr, 10));
        else
            return false;
    }
    return arguments.seeds >= 0 && arguments.calls >= 0 && arguments.chunks >= 0 && arguments.leak >= 0;
}

bool isReferenceEngine(const std::string& engine)
{
    return engine.find("VelmorantEngine") != std::string::npos;
}

bool runSeed(const velmorant_test::PluginStage& stage, const Arguments& arguments, unsigned long long seed)
{
    hostile_test::SeededEngine engine(stage.enginePath(), seed);
    hostile_test::HostileOptions options;
    options.seed = seed;
    options.verbose = arguments.verbose;
    options.maxAmplitude = isReferenceEngine(arguments.engine) ? 1.0f : 0.0f;
    options.engineBreaches = engine.breaches();
    // Parameters written on the interface thread change the state between a
    // save and the next.
    options.chunksRoundTrip = arguments.engine.find("HostileEngine") == std::string::npos && !arguments.threads;
    hostile_test::HostileHost host(options);
    bool ok = host.open(stage.procAs<VstPluginMainProc>(hostile_test::entryNameFor(seed)));
    std::string threadFault;
    if (ok && arguments.threads) {
        ParameterTraffic traffic(host.record(), seed);
        ok = host.run(arguments.calls);
        threadFault = traffic.finish();
    } else if (ok) {
        ok = host.run(arguments.calls);
    }
    ok = host.close() && ok;
    if (!threadFault.empty()) {
        std::printf("FAILED seed %llu, interface thread: %s\n", seed, threadFault.c_str());
        return false;
    }
    if (!ok) {
        std::printf("FAILED %s\n  replay: hostile_host --engine %s --seed %llu --calls %lld --verbose\n",
                    host.report().c_str(), arguments.engine.c_str(), seed,
                    static_cast<long long>(host.callIndex() + 1));
        return false;
    }
    if (arguments.chunks > 0) {
        const hostile_test::GarbageOutcome outcome =
            hostile_test::restoreGarbageChunks(stage.entry(), seed, arguments.chunks);
        if (!outcome.passed) {
            std::printf("FAILED damaged chunks: %s\n", outcome.failure.c_str());
            return false;
        }
    }
    std::printf("seed %llu: %lld calls%s passed\n", seed, arguments.calls,
                arguments.chunks > 0 ? " and damaged chunks" : "");
    return true;
}

bool runLeakCheck(const velmorant_test::PluginStage& stage, const Arguments& arguments)
{
    hostile_test::HeapCensus settled;
    for (long long session = 0; session < arguments.leak; ++session) {
        hostile_test::HostileOptions options;
        options.seed = arguments.seed;
        hostile_test::HostileHost host(options);
        bool ok = host.open(stage.entry()) && host.run(arguments.calls);
        ok = host.close() && ok;
        if (!ok) {
            std::printf("FAILED during the heap census: %s\n", host.report().c_str());
            return false;
        }
        if (session == 1)
            settled = hostile_test::takeHeapCensus();
    }
    const hostile_test::HeapCensus last = hostile_test::takeHeapCensus();
    std::printf("heap in use after session 2: %zu bytes in %zu blocks; after session %lld: %zu bytes in %zu blocks\n",
                settled.bytes, settled.blocks, arguments.leak, last.bytes, last.blocks);
    const bool ok = last.walked && last.bytes <= settled.bytes + 4096 && last.blocks <= settled.blocks + 16;
    if (!ok)
        std::printf("FAILED heap census: growth beyond 4096 bytes or 16 blocks\n");
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    Arguments arguments;
    if (!parse(argc, argv, arguments)) {
        std::fprintf(stderr, "usage: hostile_host [--engine FILE] [--seed N] [--seeds N] [--calls N] [--chunks N] "
                             "[--leak N] [--threads] [--verbose] [--hang-seconds N]\n");
        return 2;
    }
    if (arguments.threads && velmorant_test::emulated()) {
        // A live second thread ends the emulated 32-bit process at the next
        // exception (see installCrashReporter).
        std::fprintf(stderr, "hostile_host: --threads cannot run under emulated 32-bit Wine\n");
        return 2;
    }
    velmorant_test::PluginStage stage("Velmorant.dll", arguments.engine);
    if (!stage.loaded()) {
        std::printf("FAILED: cannot stage Velmorant.dll with %s\n", arguments.engine.c_str());
        return 1;
    }
    hostile_test::installCrashReporter(arguments.hangSeconds);
    std::printf("engine %s, seeds %llu to %llu, %lld calls each\n", arguments.engine.c_str(), arguments.seed,
                arguments.seed + static_cast<unsigned long long>(arguments.seeds) - 1, arguments.calls);
    std::fflush(stdout);

    long long passed = 0;
    long long failed = 0;
    for (long long n = 0; n < arguments.seeds; ++n) {
        (runSeed(stage, arguments, arguments.seed + static_cast<unsigned long long>(n)) ? passed : failed) += 1;
        std::fflush(stdout);
    }
    if (arguments.leak > 0)
        (runLeakCheck(stage, arguments) ? passed : failed) += 1;
    std::printf("%lld passed, %lld failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
