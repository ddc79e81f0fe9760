// The records the plug-in and its engine host share in memory: one control
// block for requests from the plug-in's main threads, one audio block for the
// processing thread's round trip per block. Both sides are built separately
// and may differ in architecture, so every field is fixed-width, nothing
// holds a pointer, and the layout is pinned below for 32 and 64 bits alike.
//
// Each side keeps its own copy of every size and offset it agreed to and
// never reads them back from the other side's writes: what the other
// process writes (counts, sizes, texts, events) is checked before use.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace channel {

// Raised whenever a record below changes; both sides must agree exactly.
constexpr uint32_t protocolVersion = 1;
constexpr uint32_t controlMagic = 0x434D4C56;  // "VLMC"
constexpr uint32_t audioMagic = 0x414D4C56;    // "VLMA"

static_assert(std::atomic<uint32_t>::is_always_lock_free, "the sequence words are lock-free");
static_assert(sizeof(std::atomic<uint32_t>) == 4, "a sequence word is four bytes");

// Main-thread requests. Arguments and results are in ControlRequest::args and
// ControlReply::results unless a line says otherwise.
enum class Request : uint32_t {
    Hello = 1,       // -> results[0] the engine host's protocol version, [1] its pointer bits
    Load,            // window: engine path NUL engine name NUL; args[0] create flag, [1] create value
                     // -> status LoadStatus, results[0] 1 when the engine has a host link
    AttachHost,      // the engine's host link receives the engine host's services
    DetachHost,      //
    Suspend,         //
    Resume,          //
    SetSampleRate,   // real
    SetBlockSize,    // args[0]
    SetParameter,    // args[0] index, real value
    GetParameter,    // args[0] index -> real
    ParameterText,   // args[0] TextKind, [1] index, [2] size; window: the caller's bytes -> window
    EngineText,      // args[0] TextKind -> window: a terminated text
    GetVersion,      // -> results[0]
    GetUniqueId,     // -> results[0]
    ParameterCount,  // -> results[0]
    OutputCount,     // args[0] hint -> results[0]
    EditorSize,      // -> results[0] width, [1] height
    OpenEditor,      // args[0] the parent window handle
    CloseEditor,     //
    SaveState,       // -> results[0] the state's size; window: its first bytes
    SaveStatePart,   // args[0] offset -> window: the bytes from there
    SaveStateDone,   //
    LoadStatePart,   // args[0] offset, [1] total size; window: bytes
    LoadStateDone,   // args[0] total size: the engine reads the state; args[1] 1: its reports are echoes
    MapAudio,        // window: the audio block's name; args[0] its size in bytes
    Poll,            // nothing; the reply carries waiting engine events
    Release,         // the engine is released and its module freed; the engine host ends
};

enum class TextKind : uint32_t {
    ParameterLabel = 1,
    ParameterDisplay,
    ParameterName,
    Vendor,
    Product,
    OutputName,
};

enum class LoadStatus : int32_t {
    Loaded = 0,
    LibraryFailed = 1,  // the module did not load or exports no factory
    FactoryFailed = 2,  // the factory threw or made no engine
};

// Something the engine did that the plug-in must pass on to its host, in the
// order the engine did it.
enum class EventKind : uint32_t {
    MidiOut = 1,           // a: delta frames, b: the four bytes
    ParameterChanged = 2,  // a: index, b: the value's bits (after the engine host's write-back)
    ServiceAsked = 3,      // a: ServiceKind the engine looked up
};

enum class ServiceKind : int32_t { MidiContext = 1, TransportNotifier = 2, MidiOut = 3 };

// Floats travel in the 32-bit words of commands, events and the parameter
// table as their bit pattern; MIDI messages as their four bytes in order.
inline uint32_t bitsOf(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline float floatOf(uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline uint32_t bitsOf(const unsigned char* midi)
{
    uint32_t bits;
    std::memcpy(&bits, midi, sizeof bits);
    return bits;
}

struct EngineEvent {
    uint32_t kind;  //  0
    int32_t a;      //  4
    uint32_t b;     //  8
    uint32_t c;     // 12: 0
};

// What the plug-in's processing thread did to the engine since the last
// round trip, replayed in order before the block renders.
enum class CommandKind : uint32_t {
    ReceiveMidi = 1,     // a: delta frames, b: the four bytes
    SetProcessMode = 2,  // a: mode
    SetParameter = 3,    // a: index, b: the value's bits
    TransportStart = 4,  // a: tick
    TransportStop = 5,   // a: tick
    Cycle = 6,           // a: start tick, b: end tick
};

struct Command {
    uint32_t kind;  //  0
    int32_t a;      //  4
    uint32_t b;     //  8
    uint32_t c;     // 12: 0
};

struct ControlRequest {
    uint32_t code;         //  0: Request
    uint32_t windowBytes;  //  4: bytes of the window that belong to the request
    int64_t args[4];       //  8
    double real;           // 40
};

struct ControlReply {
    int32_t status;        //  0: 0 done; a LoadStatus for Load; -1 refused
    uint32_t windowBytes;  //  4: bytes of the window that belong to the reply
    uint32_t eventCount;   //  8: events[] entries of this reply
    uint32_t reserved;     // 12
    int64_t results[4];    // 16
    double real;           // 48
};

constexpr uint32_t controlEventCapacity = 512;
constexpr uint32_t controlWindowSize = 1u << 20;

// The control block: created by the plug-in before it starts the engine
// host, which maps it by name.
struct ControlBlock {
    uint32_t magic;                            //   0: controlMagic
    uint32_t version;                          //   4: the plug-in's protocolVersion
    uint32_t blockSize;                        //   8: sizeof(ControlBlock)
    uint32_t windowSize;                       //  12: controlWindowSize
    uint32_t pluginProcessId;                  //  16
    uint32_t reserved0;                        //  20
    std::atomic<uint32_t> requestSeq;          //  24: raised by the plug-in for each request
    std::atomic<uint32_t> replySeq;            //  28: set to requestSeq by the engine host when answered
    std::atomic<uint32_t> eventsWaiting;       //  32: engine events the engine host holds for the next reply
    uint32_t reserved1;                        //  36
    ControlRequest request;                    //  40
    ControlReply reply;                        //  88
    EngineEvent events[controlEventCapacity];  // 144
    uint8_t window[controlWindowSize];         // 144 + 16 * 512 = 8336
};

// Transport values of the block, as the plug-in's services report them.
struct TimeSnapshot {
    double tempo;           //  0
    double samplePosition;  //  8
    double ppqPosition;     // 16
    double cycleStart;      // 24
    double cycleEnd;        // 32
    int32_t numerator;      // 40
    int32_t denominator;    // 44
    int32_t playing;        // 48
    int32_t cycleActive;    // 52
};

enum class BlockKind : uint32_t {
    CommandsOnly = 1,  // replay the commands, render nothing
    Replacing = 2,     // replay, then renderReplacing into zeroed channels
    Adding = 3,        // replay, then renderAdding into the channels as sent
};

// The audio block's fixed head; the arrays follow at the offsets AudioLayout
// computes from the capacities.
struct AudioHead {
    uint32_t magic;                       //   0: audioMagic
    uint32_t version;                     //   4
    uint32_t totalSize;                   //   8: bytes of the whole block
    uint32_t frameCapacity;               //  12
    uint32_t channelCount;                //  16
    uint32_t commandCapacity;             //  20
    uint32_t eventCapacity;               //  24
    uint32_t parameterCount;              //  28
    std::atomic<uint32_t> requestSeq;     //  32: raised by the plug-in for each block
    std::atomic<uint32_t> replySeq;       //  36: set to requestSeq by the engine host when done
    std::atomic<uint32_t> hostWaiting;    //  40: the engine host sleeps on its request event
    std::atomic<uint32_t> pluginWaiting;  //  44: the plug-in sleeps on its reply event
    // The request.
    uint32_t kind;          //  48: BlockKind
    int32_t frames;         //  52
    uint32_t commandCount;  //  56
    uint32_t reserved0;     //  60
    TimeSnapshot time;      //  64
    // The reply.
    int32_t status;       // 120: 0
    uint32_t eventCount;  // 124
    uint32_t lostEvents;  // 128: events the engine made that did not fit
    uint32_t reserved1;   // 132
};

// Offsets of the arrays behind the head, the same on both sides.
struct AudioLayout {
    uint32_t frameCapacity;
    uint32_t channelCount;
    uint32_t commandCapacity;
    uint32_t eventCapacity;
    uint32_t parameterCount;
    uint32_t commandsOffset;
    uint32_t eventsOffset;
    uint32_t audioOffset;
    uint32_t parametersOffset;
    uint32_t totalSize;
};

// Limits on what either side accepts for an audio block.
constexpr uint32_t maxFrameCapacity = 1u << 16;
constexpr uint32_t maxChannels = 64;
constexpr uint32_t maxParameters = 1u << 16;
constexpr uint32_t maxCommands = 1u << 14;
constexpr uint32_t maxEvents = 1u << 14;

// False when a capacity is out of range; otherwise fills the offsets.
inline bool computeAudioLayout(uint32_t frames, uint32_t channels, uint32_t commands, uint32_t events,
                               uint32_t parameters, AudioLayout& layout)
{
    if (frames == 0 || frames > maxFrameCapacity || channels > maxChannels || commands == 0 || commands > maxCommands ||
        events == 0 || events > maxEvents || parameters > maxParameters)
        return false;
    layout.frameCapacity = frames;
    layout.channelCount = channels;
    layout.commandCapacity = commands;
    layout.eventCapacity = events;
    layout.parameterCount = parameters;
    layout.commandsOffset = static_cast<uint32_t>(sizeof(AudioHead));
    layout.eventsOffset = layout.commandsOffset + commands * static_cast<uint32_t>(sizeof(Command));
    layout.audioOffset = layout.eventsOffset + events * static_cast<uint32_t>(sizeof(EngineEvent));
    layout.parametersOffset = layout.audioOffset + frames * channels * static_cast<uint32_t>(sizeof(float));
    layout.totalSize = layout.parametersOffset + parameters * static_cast<uint32_t>(sizeof(float));
    return true;
}

// Both processes compile these asserts: a change on one side that the other
// has not made cannot build.
static_assert(offsetof(EngineEvent, a) == 4 && offsetof(EngineEvent, b) == 8 && sizeof(EngineEvent) == 16,
              "EngineEvent is 16 bytes: kind, a, b, c");
static_assert(offsetof(Command, a) == 4 && offsetof(Command, b) == 8 && sizeof(Command) == 16,
              "Command is 16 bytes: kind, a, b, c");
static_assert(offsetof(ControlRequest, args) == 8, "ControlRequest::args at 8");
static_assert(offsetof(ControlRequest, real) == 40, "ControlRequest::real at 40");
static_assert(sizeof(ControlRequest) == 48, "ControlRequest is 48 bytes");
static_assert(offsetof(ControlReply, eventCount) == 8, "ControlReply::eventCount at 8");
static_assert(offsetof(ControlReply, results) == 16, "ControlReply::results at 16");
static_assert(offsetof(ControlReply, real) == 48, "ControlReply::real at 48");
static_assert(sizeof(ControlReply) == 56, "ControlReply is 56 bytes");
static_assert(offsetof(ControlBlock, requestSeq) == 24, "ControlBlock::requestSeq at 24");
static_assert(offsetof(ControlBlock, replySeq) == 28, "ControlBlock::replySeq at 28");
static_assert(offsetof(ControlBlock, eventsWaiting) == 32, "ControlBlock::eventsWaiting at 32");
static_assert(offsetof(ControlBlock, request) == 40, "ControlBlock::request at 40");
static_assert(offsetof(ControlBlock, reply) == 88, "ControlBlock::reply at 88");
static_assert(offsetof(ControlBlock, events) == 144, "ControlBlock::events at 144");
static_assert(offsetof(ControlBlock, window) == 8336, "ControlBlock::window at 8336");
static_assert(sizeof(ControlBlock) == 8336 + controlWindowSize, "ControlBlock ends with its window");
static_assert(offsetof(TimeSnapshot, numerator) == 40, "TimeSnapshot::numerator at 40");
static_assert(offsetof(TimeSnapshot, cycleActive) == 52, "TimeSnapshot::cycleActive at 52");
static_assert(sizeof(TimeSnapshot) == 56, "TimeSnapshot is 56 bytes");
static_assert(offsetof(AudioHead, requestSeq) == 32, "AudioHead::requestSeq at 32");
static_assert(offsetof(AudioHead, replySeq) == 36, "AudioHead::replySeq at 36");
static_assert(offsetof(AudioHead, hostWaiting) == 40, "AudioHead::hostWaiting at 40");
static_assert(offsetof(AudioHead, pluginWaiting) == 44, "AudioHead::pluginWaiting at 44");
static_assert(offsetof(AudioHead, kind) == 48, "AudioHead::kind at 48");
static_assert(offsetof(AudioHead, time) == 64, "AudioHead::time at 64");
static_assert(offsetof(AudioHead, status) == 120, "AudioHead::status at 120");
static_assert(offsetof(AudioHead, lostEvents) == 128, "AudioHead::lostEvents at 128");
static_assert(sizeof(AudioHead) == 136, "AudioHead is 136 bytes");

}  // namespace channel
