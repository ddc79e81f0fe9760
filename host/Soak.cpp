#include "Soak.h"

#include "BlockEvents.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <vector>

namespace host {

namespace {

// Lines across the middle half of the editor's rectangle, at five heights
// spread over it; none when the plug-in gives no usable rectangle.
DragLines linesAcross(const ERect* rectangle)
{
    DragLines lines;
    if (rectangle == nullptr) {
        return lines;
    }
    const int32_t width = rectangle->right - rectangle->left;
    const int32_t height = rectangle->bottom - rectangle->top;
    if (width < 4 || height < 6) {
        return lines;
    }
    lines.left = width / 4;
    lines.right = width * 3 / 4;
    for (int32_t line = 1; line <= 5; ++line) {
        lines.heights.push_back(height * line / 6);
    }
    return lines;
}
// Every so many state restores the host also suspends and resumes the
// plug-in around it, as hosts do when a project is reloaded.
constexpr int64_t restoresPerRestart = 10;

// The top-level window a host gives the plug-in's editor.
class EditorFrame {
public:
    EditorFrame()
    {
        window = CreateWindowExA(0, "STATIC", "velmorant-host soak", WS_OVERLAPPEDWINDOW, 0, 0, 640, 560, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        if (window != nullptr) {
            ShowWindow(window, SW_SHOWNOACTIVATE);  // shown, so the editor also paints
        }
    }
    ~EditorFrame()
    {
        if (window != nullptr && IsWindow(window)) {
            DestroyWindow(window);
        }
    }
    EditorFrame(const EditorFrame&) = delete;
    EditorFrame& operator=(const EditorFrame&) = delete;

    // The innermost first child: the engine's own window, however many
    // frames the plug-in puts around it.
    HWND editorWindow() const
    {
        HWND found = nullptr;
        for (HWND child = window != nullptr ? GetWindow(window, GW_CHILD) : nullptr; child != nullptr;
             child = GetWindow(child, GW_CHILD)) {
            found = child;
        }
        return found;
    }

    HWND window = nullptr;
};

void pumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// One press, two moves and a release along one of the lines, at places that
// differ from drag to drag.
void drag(HWND editor, const DragLines& lines, int64_t number)
{
    const int64_t span = lines.right - lines.left;
    const int y = lines.heights[static_cast<size_t>(number % static_cast<int64_t>(lines.heights.size()))];
    const int from = lines.left + static_cast<int>((number * 37) % span);
    const int to = lines.left + static_cast<int>((number * 91 + 50) % span);
    SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from, y));
    SendMessageA(editor, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM((from + to) / 2, y));
    SendMessageA(editor, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to, y));
    SendMessageA(editor, WM_LBUTTONUP, 0, MAKELPARAM(to, y));
}

int64_t framesOf(double seconds, double rate)
{
    return seconds > 0.0 ? std::max<int64_t>(1, static_cast<int64_t>(std::llround(seconds * rate))) : 0;
}

}  // namespace

bool runSoak(PluginInstance& plugin, const MidiSequence& sequence, const Transport& transport,
             const SoakSettings& settings, SoakResult& result, std::string& error)
{
    result = SoakResult();
    const int32_t outputs = plugin.outputCount();
    if (outputs <= 0) {
        error = "the plug-in has no audio outputs to render";
        return false;
    }
    std::vector<uint8_t> previousState;
    if (settings.stateEverySeconds > 0.0 && !plugin.getChunk(previousState, error)) {
        return false;
    }
    const auto started = std::chrono::steady_clock::now();
    const double rate = transport.sampleRate();
    const int32_t block = settings.blockSize;

    std::vector<std::vector<float>> buffers(static_cast<size_t>(outputs),
                                            std::vector<float>(static_cast<size_t>(block)));
    std::vector<float*> pointers;
    for (std::vector<float>& buffer : buffers) {
        pointers.push_back(buffer.data());
    }

    // The loop: the sequence, a second for the last notes to die away,
    // rounded up to whole blocks so that every block has the same length.
    BlockEvents blockEvents(sequence, transport);
    const int64_t lastFrame = static_cast<int64_t>(std::llround(transport.sampleOfTick(sequence.endTick)));
    const int64_t loopFrames = (lastFrame + framesOf(1.0, rate) + block - 1) / block * block;
    const double loopQuarters = transport.quarterOfSample(static_cast<double>(loopFrames));

    EditorFrame frame;
    HWND editor = nullptr;
    DragLines lines = settings.drag;
    const bool withEditor = frame.window != nullptr && (plugin.record().flags & effFlagsHasEditor) != 0;
    if (withEditor) {
        ERect* rectangle = nullptr;
        plugin.dispatch(effEditGetRect, 0, 0, &rectangle);
        if (lines.heights.empty()) {
            lines = linesAcross(rectangle);
        }
        plugin.dispatch(effEditOpen, 0, 0, frame.window);
        editor = frame.editorWindow();
        result.editorOpened = editor != nullptr;
        pumpMessages();
    }

    plugin.dispatch(effMainsChanged, 0, 1);
    plugin.dispatch(effStartProcess);

    const int64_t total = framesOf(settings.seconds, rate);
    const int64_t stateEvery = framesOf(settings.stateEverySeconds, rate);
    const int64_t editEvery = framesOf(settings.editEverySeconds, rate);
    const int64_t reportEvery = framesOf(settings.reportEverySeconds, rate);
    if (reportEvery > 0) {
        // Also before the first sample: the stream's buffer is allocated on
        // first use and would otherwise count as growth.
        std::fprintf(stderr, "soak: 0 s: %s\n", ProcessMemory::sample().describe().c_str());
    }
    result.afterLoad = ProcessMemory::sample();
    result.afterWarmUp = result.afterLoad;
    const int64_t idleEvery = framesOf(0.05, rate);  // a host's editor idle, 20 times a second
    const int64_t warmUp = std::min(framesOf(settings.warmUpSeconds, rate), total);
    int64_t nextState = stateEvery > 0 ? stateEvery : INT64_MAX;
    const bool canDrag = editor != nullptr && !lines.heights.empty() && lines.right > lines.left;
    int64_t nextEdit = editEvery > 0 && canDrag ? editEvery : INT64_MAX;
    int64_t nextReport = reportEvery > 0 ? reportEvery : INT64_MAX;
    int64_t nextIdle = idleEvery;
    bool warmedUp = warmUp == 0;
    const int64_t automationBefore = plugin.automationReceived;
    const int64_t midiBefore = plugin.midiEventsReceived;

    int64_t position = 0;  // within the loop
    size_t next = 0;
    bool transportChanged = true;
    std::vector<uint8_t> state;
    std::vector<uint8_t> readBack;
    while (result.frames < total) {
        const int32_t count = static_cast<int32_t>(std::min<int64_t>(block, total - result.frames));
        if (position >= loopFrames) {
            position = 0;  // the plug-in sees the jump back and tells the engine of the cycle
            next = 0;
            ++result.loops;
        }
        VstTimeInfo info = transport.timeInfo(static_cast<double>(position), true, transportChanged);
        info.flags |= kVstTransportCycleActive | kVstCyclePosValid;
        info.cycleStartPos = 0.0;
        info.cycleEndPos = loopQuarters;
        plugin.setTimeInfo(info);
        transportChanged = false;

        const int32_t events = blockEvents.collect(next, position, count, result.notesPlayed);
        if (events > 0) {
            plugin.processEvents(blockEvents.list());
        }
        plugin.process(pointers.data(), count);
        for (int32_t channel = 0; channel < outputs; ++channel) {
            for (int32_t i = 0; i < count; ++i) {
                const float sample = pointers[static_cast<size_t>(channel)][i];
                if (!std::isfinite(sample)) {
                    result.nonFiniteOutput = true;
                } else {
                    result.peak = std::max(result.peak, std::fabs(sample));
                }
            }
        }
        position += count;
        result.frames += count;
        ++result.blocks;

        // Between blocks, what the user and the host's main thread do.
        if (result.frames >= nextEdit) {
            drag(editor, lines, result.drags++);
            pumpMessages();
            nextEdit += editEvery;
        }
        if (result.frames >= nextIdle) {
            plugin.dispatch(effEditIdle);
            pumpMessages();
            nextIdle += idleEvery;
        }
        if (result.frames >= nextState) {
            // Save, go back to the previous save, read it back: the bytes must
            // come back as they went in.
            if (!plugin.getChunk(state, error)) {
                return false;
            }
            const bool restart = (result.stateRoundTrips + 1) % restoresPerRestart == 0;
            if (restart) {
                plugin.dispatch(effStopProcess);
                plugin.dispatch(effMainsChanged, 0, 0);
            }
            if (!plugin.setChunk(previousState, error) || !plugin.getChunk(readBack, error)) {
                return false;
            }
            if (readBack != previousState) {
                ++result.stateMismatches;
            }
            if (restart) {
                plugin.dispatch(effMainsChanged, 0, 1);
                plugin.dispatch(effStartProcess);
                transportChanged = true;
                ++result.restarts;
            }
            ++result.stateRoundTrips;
            previousState.swap(state);
            nextState += stateEvery;
        }
        // Warmed up after the set audio and two seconds of wall time, by when
        // the editor's timers have fired and the system's lazy caches are filled.
        if (!warmedUp && result.frames >= warmUp &&
            std::chrono::steady_clock::now() - started >= std::chrono::seconds(2)) {
            result.afterWarmUp = ProcessMemory::sample();
            warmedUp = true;
        }
        if (result.frames >= nextReport) {
            std::fprintf(stderr, "soak: %.0f s: %s\n", static_cast<double>(result.frames) / rate,
                         ProcessMemory::sample().describe().c_str());
            nextReport += reportEvery;
        }
    }
    result.atEnd = ProcessMemory::sample();
    plugin.dispatch(effStopProcess);
    plugin.dispatch(effMainsChanged, 0, 0);
    if (withEditor) {
        plugin.dispatch(effEditClose);
        pumpMessages();
    }
    result.automationReported = plugin.automationReceived - automationBefore;
    result.midiEventsFromPlugin = plugin.midiEventsReceived - midiBefore;
    result.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return true;
}

}  // namespace host
