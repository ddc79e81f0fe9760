// The engine, as the plug-in sees it when the engine runs in an engine host
// process of its own: a SoftSynth that forwards every slot to the real engine
// over shared memory, so that Velmorant treats it exactly like an engine in
// the host's process.
//
// Main-thread slots are requests on the control channel. The processing
// thread's slots (MIDI, process mode, its parameter writes, the transport
// news this object hears as a listener of the plug-in's notifier) are queued
// and travel with the next block: one round trip per block, answered with the
// audio, the engine's MIDI out and its parameter reports, which reach the
// host before the render returns.
//
// When the engine host ends (a crash, a kill) or stops answering, blocks are
// silence and main-thread requests answer at once from what is known; at the
// host's next idle call or main-thread request a fresh engine host is started
// and given back everything the host would expect: rates, process mode, the
// last state plus every parameter written since, the resumed state and the
// editor. Three stops within a minute end the retries until the next resume.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "IHostLink.h"
#include "IKorvantaHost.h"
#include "IMidiOut.h"
#include "MidiContext.h"
#include "MidiTransportListener.h"
#include "MidiTransportNotifier.h"
#include "SoftSynth.h"
#include "channel/ChannelLayout.h"
#include "remote/AudioChannel.h"
#include "remote/ControlChannel.h"
#include "remote/EngineHostProcess.h"

namespace remote {

struct LaunchSettings {
    std::string hostProgram;  // full path of the engine host program
    std::string enginePath;   // the engine module, as the plug-in found it
    std::string engineName;   // what the factory finds in the loader record
    uint8_t createFlag = 0;
    int32_t createValue = 0;
    int64_t hostBits = 0;      // 32 or 64: the engine host program's architecture
    const char* caption = "";  // of the messages telling the musician about a stop
};

enum class LaunchFailure {
    None,
    HostProgramFailed,  // the engine host program could not be started
    LibraryFailed,      // the engine module did not load or exports no factory
    FactoryFailed,      // the factory failed, or the engine host answered wrongly or ended
};

class RemoteEngine final : public SoftSynth, public IHostLink, public Korvanta::MidiTransportListener {
public:
    // Starts an engine host and loads the engine in it. Null with `failure`
    // set when that did not work; nothing is left running then.
    static RemoteEngine* launch(const LaunchSettings& settings, LaunchFailure& failure);

    // The engine's host link, present when the real engine has one.
    IHostLink* hostLink() { return engineHasLink ? static_cast<IHostLink*>(this) : nullptr; }

    // The host's idle calls: engine events made outside any request are passed
    // on, and a stopped engine host is started again.
    void idle();

    // SoftSynth
    void suspend() override;
    void resume() override;
    void release() override;  // ends the engine host and deletes this object
    void setSampleRate(float rate) override;
    void setBlockSize(int32_t size) override;
    void receiveMidi(const unsigned char* midi, int32_t deltaFrames) override;
    void renderAdding(float** outputs, int32_t frames) override;
    void renderReplacing(float** outputs, int32_t frames) override;
    void saveState(Korvanta::OutputStream& stream) override;
    void loadState(Korvanta::InputStream& stream) override;
    void getEditorSize(int32_t* width, int32_t* height) override;
    void openEditor(void* parentWindow) override;
    void closeEditor() override;
    const char* getVendorName() override;
    const char* getProductName() override;
    int32_t getVersion() override;
    int32_t getUniqueId() override;
    const char* getOutputName() override;
    int32_t getParameterCount() override;
    float getParameter(int32_t index) override;
    void setParameter(int32_t index, float value) override;
    void getParameterLabel(int32_t index, char* text, int32_t size) override;
    void getParameterDisplay(int32_t index, char* text, int32_t size) override;
    void getParameterName(int32_t index, char* text, int32_t size) override;
    void setProcessMode(int32_t mode) override;
    int32_t getOutputCount(int32_t hint) override;

    // IHostLink
    void attachHost(IKorvantaHost* host) override;
    void detachHost() override;

    // Korvanta::MidiTransportListener: the plug-in's transport news, queued.
    void onTransportStart(int32_t tick) override;
    void onTransportStop(int32_t tick) override;
    void onCycle(int32_t startTick, int32_t endTick) override;

private:
    enum Health : int { Alive, Stopped, GivenUp };

    explicit RemoteEngine(const LaunchSettings& settings);
    ~RemoteEngine();

    // Starting an engine host, and what a fresh one must be told.
    LaunchFailure start();
    bool restore();
    void recover();
    void stopEngineHost();
    bool mapAudio(uint32_t frameCapacity);
    uint32_t deadlineMs(int32_t frames) const;
    uint32_t answerSpinMicroseconds(int32_t frames) const;
    void ensureAudio();

    // Requests on the control channel. False when the engine host did not
    // answer (it is then marked stopped); the reply's window is copied to `out`.
    struct Answer {
        bool answered = false;
        bool ended = false;  // the engine host's process ended instead of answering
        channel::ControlReply reply{};
        uint32_t outBytes = 0;
    };
    Answer request(channel::Request code, int64_t arg0 = 0, int64_t arg1 = 0, int64_t arg2 = 0, double real = 0.0,
                   const void* in = nullptr, uint32_t inBytes = 0, void* out = nullptr, uint32_t outRoom = 0,
                   uint32_t timeoutMs = 0);
    bool usable();
    bool alive() const;
    const char* text(channel::TextKind kind, char* room);
    void parameterText(channel::TextKind kind, int32_t index, char* text, int32_t size);

    // The processing thread's side.
    void queue(const channel::Command& command);
    bool flushCommands();
    enum class Trip { Answered, Late, Stopped };
    Trip roundTrip(channel::BlockKind kind, float** outputs, int32_t offset, int32_t frames);
    bool collectLateAnswer();
    bool takeAnswer(float** outputs, int32_t offset, int32_t frames, bool withAudio);
    void render(channel::BlockKind kind, float** outputs, int32_t frames);
    void snapshotTime(channel::TimeSnapshot& time);

    // Engine events reach the host through the plug-in's services and callback.
    void deliver(const channel::EngineEvent* events, uint32_t count, int slot);
    void noteParameter(int32_t index, float value);
    void copyParameterTable(bool all);

    // A stop of the engine host: silence and one trace line, on any thread.
    void markStopped(const char* why);
    void tell(const char* text) const;

    const LaunchSettings settings;
    EngineHostProcess process;
    std::unique_ptr<ControlChannel> control;
    std::unique_ptr<AudioChannel> audio;
    std::string channelName;
    uint32_t generation = 0;
    bool engineHasLink = false;

    // Health, and the processing thread's use of the audio channel: a
    // restart swaps the channel only while the processing thread is out.
    std::atomic<int> health{Alive};
    std::atomic<int> audioBusy{0};
    std::atomic<uint32_t> stoppedAt{0};  // tick count when the stop was seen
    std::vector<uint32_t> stopTimes;
    bool restarting = false;  // a restart is under way on the main thread
    bool launching = false;   // requests of a start or restore, before the engine host counts as running

    // The plug-in's services, as the real engine would have held them.
    IKorvantaHost* host = nullptr;
    Korvanta::MidiContext* midiContext = nullptr;
    Korvanta::MidiTransportNotifier* notifier = nullptr;
    std::atomic<IMidiOut*> midiOut{nullptr};

    // What a fresh engine host is told again.
    bool rateSet = false;
    float sampleRate = 0.0f;
    bool blockSizeSet = false;
    int32_t blockSize = 0;
    bool suspended = true;
    std::atomic<int32_t> processMode{-1};
    bool editorOpen = false;
    void* editorParent = nullptr;
    bool stateKnown = false;
    std::vector<uint8_t> lastState;
    int32_t outputCount = -1;
    int32_t parameterCount = -1;
    // Parameter values as last written or reported, and which changed since
    // the last state: atomics, as the host and the processing thread both write.
    std::unique_ptr<std::atomic<uint32_t>[]> values;
    std::unique_ptr<std::atomic<uint8_t>[]> writtenSinceState;
    uint32_t valueCount = 0;
    std::atomic<bool> valuesReady{false};  // the table has been read once
    uint32_t copyCursor = 0;

    // The processing thread's block in the making.
    std::atomic<uint32_t> audioThread{0};
    uint32_t queued = 0;
    uint32_t sent = 0;
    bool late = false;
    uint32_t lateSince = 0;              // tick count of the first missed deadline in a row; 0: none
    std::vector<channel::Command> held;  // commands queued while a block is late
    uint32_t heldCount = 0;

    // A report being handed to the plug-in: the write-back it causes was
    // already made in the engine host. Slot 0: processing thread, 1: others.
    struct Delivery {
        std::atomic<uint32_t> thread{0};
        std::atomic<int32_t> index{-1};
        std::atomic<uint32_t> value{0};
    } delivering[2];
    const Delivery* deliveryOnThisThread(int32_t index) const;

    char vendorText[256] = {};
    char productText[256] = {};
    char outputText[256] = {};
};

}  // namespace remote
