#include "SynthEngine.h"

#include <cmath>

#include "EngineState.h"
#include "TextCopy.h"

namespace engine {

namespace {

constexpr double twoPi = 6.28318530717958647692;
constexpr int32_t ticksPerQuarter = Korvanta::ticksPerQuarterNote;
constexpr int32_t arpeggioHalfStep = 60;         // ticks: a sixteenth note is two half steps, on then off
constexpr int32_t realtimeControlInterval = 16;  // samples between modulation updates; a power of two
// Parameters are read, and what derives from them computed, on every
// multiple of this many samples of the engine's clock.
constexpr int64_t parameterInterval = 32;
// Host positions carry rounding noise: a boundary a hair before the block
// start still belongs to this block, but one already played is not repeated.
constexpr double boundaryTolerance = 1.0e-6;

// Keeps the sum of loud chords below full scale: untouched up to 0.8, then
// bent smoothly toward 0.98, never reaching 1.
float softLimit(float sample)
{
    const float magnitude = std::fabs(sample);
    if (magnitude <= 0.8f) {
        return sample;
    }
    const float limited = 0.8f + 0.18f * std::tanh((magnitude - 0.8f) / 0.18f);
    return sample < 0.0f ? -limited : limited;
}

float decibelsToGain(float decibels)
{
    return std::pow(10.0f, decibels / 20.0f);
}

// Per-sample factor that brings an exponential segment within 1% of its
// target after `seconds`.
float approachCoefficient(float seconds, float sampleRate)
{
    return std::exp(-4.6f / (seconds * sampleRate));
}

}  // namespace

SynthEngine::SynthEngine() : editor(*this)
{
    resetSound();
}

void SynthEngine::suspend() {}

void SynthEngine::resume()
{
    resetSound();
}

void SynthEngine::release()
{
    closeEditor();
    link.detachHost();
    delete this;
}

void SynthEngine::resetSound()
{
    voices.silenceAll();
    queue.clear();
    arpeggiator.clear();
    arpeggioNote = -1;
    pitchFactor = 1.0f;
    lfoPhase = 0.0;
    lfoValue = 0.0f;
    refreshSettings();
    gain = targetGain;
    // The sample clock starts again at 0; the musical clock keeps its tick
    // and runs at 120 beats per minute until a host tells it otherwise.
    anchorTick = tickAt(sampleClock);
    anchorSample = 0;
    sampleClock = 0;
    ticksPerSample = 120.0 / 60.0 * ticksPerQuarter / sampleRate;
    scheduleNextBoundary();
}

void SynthEngine::setSampleRate(float rate)
{
    // Hosts have been seen to send 0 before they know their device; keep
    // the last usable rate rather than divide by it.
    // The derived settings follow at the next parameter tick.
    if (std::isfinite(rate) && rate >= 1000.0f && rate <= 768000.0f) {
        sampleRate = rate;
    }
}

void SynthEngine::setBlockSize(int32_t size)
{
    if (size > 0) {
        blockSize = size;
    }
}

void SynthEngine::setProcessMode(int32_t mode)
{
    processMode.store(mode == SoftSynthModeOffline || mode == SoftSynthModeRealtime ? mode : SoftSynthModeUnknown);
}

void SynthEngine::receiveMidi(const unsigned char* midi, int32_t deltaFrames)
{
    if (midi == nullptr) {
        return;
    }
    const int32_t frame = deltaFrames < 0 ? 0 : deltaFrames;
    if (!queue.push(midi, frame)) {
        // A host that floods one block: play the oldest message now rather
        // than lose a note-off and leave a note hanging.
        handleMidi(queue.front().bytes, 0);
        queue.popFront();
        queue.push(midi, frame);
    }
}

void SynthEngine::renderAdding(float** outputs, int32_t frames)
{
    render(outputs, frames, true);
}

void SynthEngine::renderReplacing(float** outputs, int32_t frames)
{
    render(outputs, frames, false);
}

void SynthEngine::refreshSettings()
{
    settings.waveform = waveformOf(parameters.get(ParamWave));
    settings.detuneRatio = std::exp2(detuneCents(parameters.get(ParamDetune)) / 1200.0f);
    settings.cutoffHz = cutoffHz(parameters.get(ParamCutoff));
    settings.resonance = resonanceAmount(parameters.get(ParamResonance));
    settings.envelopeOctaves = 5.0f * parameters.get(ParamEnvAmount);
    settings.lfoOctaves = 2.0f * parameters.get(ParamLfoAmount);
    settings.velocitySensitivity = parameters.get(ParamVelocity);
    settings.attackStep = 1.0f / (envelopeSeconds(parameters.get(ParamAttack)) * sampleRate);
    settings.decayCoefficient = approachCoefficient(envelopeSeconds(parameters.get(ParamDecay)), sampleRate);
    settings.sustainLevel = parameters.get(ParamSustain);
    settings.releaseCoefficient = approachCoefficient(envelopeSeconds(parameters.get(ParamRelease)), sampleRate);
    targetGain = decibelsToGain(volumeDecibels(parameters.get(ParamVolume)));
    lfoStep = lfoHz(parameters.get(ParamLfoRate)) / sampleRate;
}

void SynthEngine::applyParameters(int32_t frame)
{
    refreshSettings();
    const MidiOutMode mode = midiOutModeOf(parameters.get(ParamMidiOut));
    if (mode != midiOutMode) {
        if (midiOutMode == MidiOutArpeggio) {
            arpeggiator.clear();
            stopArpeggio(frame);
        }
        midiOutMode = mode;
    }
}

void SynthEngine::sendMidi(unsigned char status, unsigned char data1, unsigned char data2, int32_t frame)
{
    IMidiOut* output = link.midiOut();
    if (output != nullptr) {
        const unsigned char message[4] = {status, data1, data2, 0};
        output->sendMidi(message, frame);
    }
}

void SynthEngine::playNoteOn(int32_t note, int32_t velocity, int32_t frame)
{
    if (midiOutMode == MidiOutArpeggio) {
        arpeggiator.hold(note, velocity);
        return;
    }
    voices.noteOn(note, velocity, settings, pitchFactor, lfoValue, sampleRate);
    if (midiOutMode == MidiOutEcho) {
        sendMidi(0x90, static_cast<unsigned char>(note), static_cast<unsigned char>(velocity), frame);
    }
}

void SynthEngine::playNoteOff(int32_t note, int32_t frame)
{
    if (midiOutMode == MidiOutArpeggio) {
        arpeggiator.letGo(note);
        if (arpeggiator.isEmpty()) {
            stopArpeggio(frame);
        }
        return;
    }
    voices.noteOff(note);
    if (midiOutMode == MidiOutEcho) {
        sendMidi(0x80, static_cast<unsigned char>(note), 0, frame);
    }
}

void SynthEngine::stopArpeggio(int32_t frame)
{
    if (arpeggioNote >= 0) {
        voices.noteOff(arpeggioNote);
        sendMidi(0x80, static_cast<unsigned char>(arpeggioNote), 0, frame);
        arpeggioNote = -1;
    }
}

void SynthEngine::arpeggioBoundary(int64_t boundary, int32_t frame)
{
    // Even half steps start the next note, odd ones end it (50% gate).
    stopArpeggio(frame);
    if (boundary % 2 != 0) {
        return;
    }
    const int32_t note = arpeggiator.nextNote();
    if (note < 0) {
        return;
    }
    const int32_t velocity = arpeggiator.velocityOfLastHold();
    voices.noteOn(note, velocity, settings, pitchFactor, lfoValue, sampleRate);
    sendMidi(0x90, static_cast<unsigned char>(note), static_cast<unsigned char>(velocity), frame);
    arpeggioNote = note;
}

void SynthEngine::handleMidi(const unsigned char* bytes, int32_t frame)
{
    const int32_t status = bytes[0] & 0xF0;
    const int32_t data1 = bytes[1] & 0x7F;
    const int32_t data2 = bytes[2] & 0x7F;
    switch (status) {
    case 0x90:
        if (data2 > 0) {
            playNoteOn(data1, data2, frame);
        } else {
            playNoteOff(data1, frame);
        }
        break;
    case 0x80:
        playNoteOff(data1, frame);
        break;
    case 0xB0:
        if (data1 == 64) {
            voices.setSustainPedal(data2 >= 64);
        } else if (data1 == 120) {
            voices.silenceAll();
            arpeggiator.clear();
            stopArpeggio(frame);
        } else if (data1 == 123) {
            voices.releaseAll();
            arpeggiator.clear();
            stopArpeggio(frame);
        }
        break;
    case 0xE0: {
        const int32_t bend = ((data2 << 7) | data1) - 8192;
        pitchFactor = std::exp2(2.0f * static_cast<float>(bend) / 8192.0f / 12.0f);
        break;
    }
    default:
        break;  // program changes, pressure and system messages do not affect this sound
    }
}

void SynthEngine::renderSpan(float* left, float* right, int32_t from, int32_t to, bool adding)
{
    const int64_t modulationMask = processMode.load() == SoftSynthModeOffline ? 0 : realtimeControlInterval - 1;
    for (int32_t i = from; i < to; ++i, ++sampleClock) {
        if ((sampleClock & modulationMask) == 0) {
            lfoValue = static_cast<float>(std::sin(twoPi * lfoPhase));
            voices.updateControl(settings, pitchFactor, lfoValue, sampleRate);
        }
        lfoPhase += lfoStep;
        if (lfoPhase >= 1.0) {
            lfoPhase -= 1.0;
        }
        float sumLeft = 0.0f;
        float sumRight = 0.0f;
        voices.render(settings, sumLeft, sumRight);
        gain += (targetGain - gain) * 0.002f;
        sumLeft = softLimit(sumLeft * gain);
        sumRight = softLimit(sumRight * gain);
        if (left != nullptr) {
            left[i] = adding ? left[i] + sumLeft : sumLeft;
        }
        if (right != nullptr) {
            right[i] = adding ? right[i] + sumRight : sumRight;
        }
    }
}

int64_t SynthEngine::sampleOfBoundary(int64_t boundary) const
{
    double frames =
        std::ceil((static_cast<double>(boundary) * arpeggioHalfStep - anchorTick) / ticksPerSample - boundaryTolerance);
    // Before the anchor means now; a tempo near the floor cannot reach the clamp's top.
    frames = frames < 0.0 ? 0.0 : (frames > 1.0e15 ? 1.0e15 : frames);
    return anchorSample + static_cast<int64_t>(frames);
}

void SynthEngine::scheduleNextBoundary()
{
    int64_t next = static_cast<int64_t>(std::ceil(tickAt(sampleClock) / arpeggioHalfStep - boundaryTolerance));
    if (lastBoundary != INT64_MIN && next <= lastBoundary && next >= lastBoundary - 1) {
        next = lastBoundary + 1;
    }
    nextBoundary = next;
    nextBoundarySample = sampleOfBoundary(next);
}

void SynthEngine::followHostClock(bool transportStarted)
{
    // The host's tempo and, while its transport runs, its position; our own
    // clock otherwise, so the arpeggio also plays in a stopped host.
    double tempo = 120.0;
    Korvanta::MidiContext* context = link.midiContext();
    Korvanta::MidiTransportNotifier* transport = link.transport();
    if (context != nullptr) {
        const double hostTempo = context->getTempo();
        if (std::isfinite(hostTempo) && hostTempo >= 1.0 && hostTempo <= 1000.0) {
            tempo = hostTempo;
        }
    }
    bool moved = transportStarted;
    const double rate = tempo / 60.0 * ticksPerQuarter / sampleRate;
    if (rate != ticksPerSample) {
        anchorTick = tickAt(sampleClock);
        anchorSample = sampleClock;
        ticksPerSample = rate;
        moved = true;
    }
    if (transport != nullptr && transport->isPlaying() != 0) {
        const double ppq = transport->getPpqPosition();
        if (std::isfinite(ppq) && std::fabs(ppq) < 1.0e9) {
            // Within one sample the host and the clock agree: following the
            // host's rounding would move the arpeggio with the block size.
            const double hostTick = ppq * ticksPerQuarter;
            if (transportStarted || std::fabs(hostTick - tickAt(sampleClock)) > ticksPerSample) {
                anchorTick = hostTick;
                anchorSample = sampleClock;
                moved = true;
            }
        }
    }
    if (moved) {
        scheduleNextBoundary();
    }
}

void SynthEngine::render(float** outputs, int32_t frames, bool adding)
{
    if (frames <= 0) {
        return;  // messages stay queued for the next real block
    }
    float* left = outputs != nullptr ? outputs[0] : nullptr;
    float* right = outputs != nullptr ? outputs[1] : nullptr;

    // Transport news arrives with the host's block, so it takes effect at the block start.
    const uint32_t transportEvents = link.takeEvents();
    const bool started = (transportEvents & EngineHostLink::Started) != 0;
    if (started) {
        lfoPhase = 0.0;  // the LFO starts in step with the song
        arpeggiator.restartPattern();
        lastBoundary = INT64_MIN;
    }
    if ((transportEvents & EngineHostLink::Cycled) != 0) {
        arpeggiator.restartPattern();
    }
    if ((transportEvents & EngineHostLink::Stopped) != 0) {
        stopArpeggio(0);
    }
    followHostClock(started);

    // The block is cut into spans at parameter ticks, message frames and
    // arpeggio boundaries, all placed on the sample clock.
    const int64_t blockStart = sampleClock;
    auto messageFrame = [&]() {
        // Messages timed at or beyond the end of the block play on its last frame.
        return queue.front().frame < frames ? queue.front().frame : frames - 1;
    };
    int32_t position = 0;
    while (position < frames) {
        const int64_t now = blockStart + position;
        if (now % parameterInterval == 0) {
            applyParameters(position);
        }
        while (!queue.isEmpty() && messageFrame() <= position) {
            handleMidi(queue.front().bytes, position);
            queue.popFront();
        }
        // The clock runs in every mode, so that switching the arpeggio on finds it in step.
        while (nextBoundarySample <= now) {
            if (midiOutMode == MidiOutArpeggio) {
                arpeggioBoundary(nextBoundary, position);
            }
            lastBoundary = nextBoundary++;
            nextBoundarySample = sampleOfBoundary(nextBoundary);
        }
        int64_t end = (now / parameterInterval + 1) * parameterInterval - blockStart;
        end = end < frames ? end : frames;
        if (!queue.isEmpty()) {
            end = messageFrame() < end ? messageFrame() : end;
        }
        end = nextBoundarySample - blockStart < end ? nextBoundarySample - blockStart : end;
        renderSpan(left, right, position, static_cast<int32_t>(end), adding);
        position = static_cast<int32_t>(end);
    }
}

void SynthEngine::saveState(Korvanta::OutputStream& stream)
{
    writeState(stream, parameters);
}

void SynthEngine::loadState(Korvanta::InputStream& stream)
{
    float values[ParameterCount];
    if (!readState(stream, values)) {
        return;  // rejected: the current sound stays as it was
    }
    for (int32_t index = 0; index < ParameterCount; ++index) {
        parameters.set(index, values[index]);
    }
}

void SynthEngine::getEditorSize(int32_t* width, int32_t* height)
{
    if (width != nullptr) {
        *width = EngineEditor::width;
    }
    if (height != nullptr) {
        *height = EngineEditor::height;
    }
}

void SynthEngine::openEditor(void* parentWindow)
{
    editor.open(parentWindow);
}

void SynthEngine::closeEditor()
{
    editor.close();
}

const char* SynthEngine::getVendorName()
{
    return "Korvanta";  // kept as is: hosts show it and file presets under it
}

const char* SynthEngine::getProductName()
{
    return "Velmorant";  // kept as is: hosts show it and file presets under it
}

int32_t SynthEngine::getVersion()
{
    return 1000;
}

int32_t SynthEngine::getUniqueId()
{
    return 0x566C6D74;  // 'Vlmt'
}

const char* SynthEngine::getOutputName()
{
    return "Velmorant";
}

int32_t SynthEngine::getParameterCount()
{
    return ParameterCount;
}

float SynthEngine::getParameter(int32_t index)
{
    return parameters.get(index);
}

void SynthEngine::setParameter(int32_t index, float value)
{
    parameters.set(index, value);
}

void SynthEngine::setParameterFromEditor(int32_t index, float value)
{
    if (!parameters.set(index, value)) {
        return;
    }
    if (callback != nullptr) {
        callback(index, SoftSynthParameterChanged, context);
    }
}

void SynthEngine::getParameterLabel(int32_t index, char* text, int32_t size)
{
    Korvanta::copyText(text, size, isParameterIndex(index) ? parameterInfo(index).label : "");
}

void SynthEngine::getParameterDisplay(int32_t index, char* text, int32_t size)
{
    if (!isParameterIndex(index)) {
        Korvanta::copyText(text, size, "");
        return;
    }
    formatParameterDisplay(index, parameters.get(index), text, size);
}

void SynthEngine::getParameterName(int32_t index, char* text, int32_t size)
{
    Korvanta::copyText(text, size, isParameterIndex(index) ? parameterInfo(index).name : "");
}

int32_t SynthEngine::getOutputCount(int32_t)
{
    return 2;
}

}  // namespace engine
