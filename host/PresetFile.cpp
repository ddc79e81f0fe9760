#include "PresetFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/FourCharacterCode.h"

namespace host {

namespace {

constexpr size_t programHeaderSize = sizeof(ProgramFileHeader);
constexpr size_t bankHeaderSize = sizeof(BankFileHeader);
// More parameters than this is damage, not a preset.
constexpr uint32_t maxParameters = 100000;

uint32_t bigEndian(const uint8_t* at)
{
    return static_cast<uint32_t>(at[0]) << 24 | static_cast<uint32_t>(at[1]) << 16 | static_cast<uint32_t>(at[2]) << 8 |
           static_cast<uint32_t>(at[3]);
}

uint32_t wordOf(const PresetWord& word)
{
    return bigEndian(word.bytes);
}

void append(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

void appendTag(std::vector<uint8_t>& out, const char* tag)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(tag[i]));
    }
}

void patchSize(std::vector<uint8_t>& out, size_t recordStart)
{
    const uint32_t size = static_cast<uint32_t>(out.size() - recordStart - 8);
    for (int i = 0; i < 4; ++i) {
        out[recordStart + 4 + static_cast<size_t>(i)] = static_cast<uint8_t>(size >> (24 - 8 * i));
    }
}

bool tagIs(const char* field, const char* tag)
{
    return std::memcmp(field, tag, 4) == 0;
}

std::string nameOf(const char (&field)[28])
{
    size_t length = 0;
    while (length < sizeof field && field[length] != '\0') {
        ++length;
    }
    return std::string(field, length);
}

// The record from `at`, as far as its byteSize says, checked to lie inside the
// file; `what` names it in messages ("the file", "program 3 of the bank").
bool recordExtent(const std::vector<uint8_t>& bytes, size_t at, size_t headerSize, const std::string& what, size_t& end,
                  std::string& error)
{
    const size_t available = bytes.size() - at;
    if (available < 8) {
        error = what + " ends after " + std::to_string(available) + " bytes, inside its header";
        return false;
    }
    if (std::memcmp(bytes.data() + at, "CcnK", 4) != 0) {
        error = what + " does not start with 'CcnK' (it has '" +
                common::fourCharacterText(reinterpret_cast<const char*>(bytes.data() + at)) + "'): it is not a preset";
        return false;
    }
    const uint64_t byteSize = bigEndian(bytes.data() + at + 4);
    if (byteSize > available - 8) {
        error = what + "'s size field (" + std::to_string(byteSize) + " bytes) runs past the end of the file (" +
                std::to_string(available - 8) + " bytes follow it)";
        return false;
    }
    if (byteSize + 8 < headerSize) {
        error = what + "'s size field (" + std::to_string(byteSize) + " bytes) leaves no room for its " +
                std::to_string(headerSize) + "-byte header";
        return false;
    }
    end = at + 8 + static_cast<size_t>(byteSize);
    return true;
}

// numParams values from `at`, each a number from 0 to 1.
bool readValues(const std::vector<uint8_t>& bytes, size_t at, uint32_t count, const std::string& what,
                std::vector<float>& values, std::string& error)
{
    values.resize(count);
    for (uint32_t index = 0; index < count; ++index) {
        const uint32_t bits = bigEndian(bytes.data() + at + 4 * static_cast<size_t>(index));
        float value = 0.0f;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value) || value < 0.0f || value > 1.0f) {
            char text[32];
            std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
            error = what + "'s parameter " + std::to_string(index) + " has the value " + text +
                    ", not a number from 0 to 1";
            return false;
        }
        values[index] = value;
    }
    return true;
}

bool readChunk(const std::vector<uint8_t>& bytes, size_t at, size_t end, const std::string& what,
               std::vector<uint8_t>& chunk, std::string& error)
{
    if (end - at < 4) {
        error = what + "'s size field leaves no room for its chunk size";
        return false;
    }
    const uint64_t size = bigEndian(bytes.data() + at);
    const uint64_t held = end - at - 4;
    if (size != held) {
        error = what + "'s chunk size (" + std::to_string(size) +
                " bytes) disagrees with its size field, which leaves " + std::to_string(held);
        return false;
    }
    chunk.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at + 4), bytes.begin() + static_cast<std::ptrdiff_t>(end));
    return true;
}

// One program record from `at`; `end` receives where it stops.
bool parseProgram(const std::vector<uint8_t>& bytes, size_t at, bool insideBank, const std::string& what,
                  PresetFile& preset, PresetProgram& program, size_t& end, std::string& error)
{
    if (!recordExtent(bytes, at, programHeaderSize, what, end, error)) {
        return false;
    }
    ProgramFileHeader header;
    std::memcpy(&header, bytes.data() + at, sizeof header);
    const bool chunk = tagIs(header.fxMagic, "FPCh");
    if (!tagIs(header.fxMagic, "FxCk") && !(chunk && !insideBank)) {
        error = what + " has the kind '" + common::fourCharacterText(header.fxMagic) + "' where '" +
                (insideBank ? "FxCk'" : "FxCk' or 'FPCh'") + " belongs";
        return false;
    }
    const int32_t fxID = static_cast<int32_t>(wordOf(header.fxID));
    const uint32_t numParams = wordOf(header.numParams);
    if (insideBank && fxID != preset.fxID) {
        error = what + " is for another plug-in (id '" + common::fourCharacterText(fxID) + "', the bank's is '" +
                common::fourCharacterText(preset.fxID) + "')";
        return false;
    }
    if (numParams > maxParameters) {
        error = what + " declares " + std::to_string(numParams) + " parameters, too many to be a preset";
        return false;
    }
    if (!insideBank) {
        preset.isChunk = chunk;
        preset.fxID = fxID;
        preset.fxVersion = static_cast<int32_t>(wordOf(header.fxVersion));
        preset.numParams = static_cast<int32_t>(numParams);
    }
    program.name = nameOf(header.programName);
    const size_t payload = at + programHeaderSize;
    if (chunk) {
        return readChunk(bytes, payload, end, what, program.chunk, error);
    }
    const uint64_t held = end - payload;
    if (4ull * numParams != held) {
        error = what + "'s " + std::to_string(numParams) + " parameter values take " +
                std::to_string(4ull * numParams) + " bytes, but its size field leaves " + std::to_string(held);
        return false;
    }
    return readValues(bytes, payload, numParams, what, program.parameters, error);
}

bool parseBank(const std::vector<uint8_t>& bytes, PresetFile& preset, size_t& end, std::string& error)
{
    const std::string what = "the bank";
    if (!recordExtent(bytes, 0, bankHeaderSize, what, end, error)) {
        return false;
    }
    BankFileHeader header;
    std::memcpy(&header, bytes.data(), sizeof header);
    preset.isBank = true;
    preset.isChunk = tagIs(header.fxMagic, "FBCh");
    preset.fxID = static_cast<int32_t>(wordOf(header.fxID));
    preset.fxVersion = static_cast<int32_t>(wordOf(header.fxVersion));
    const uint32_t numPrograms = wordOf(header.numPrograms);
    const uint32_t version = wordOf(header.version);
    if (numPrograms > 0x7FFFFFFFu) {
        error = "the bank declares " + std::to_string(numPrograms) + " programs";
        return false;
    }
    preset.numPrograms = static_cast<int32_t>(numPrograms);
    if (version >= 2) {
        const uint32_t current = wordOf(header.currentProgram);
        if (current >= numPrograms && !(preset.isChunk && numPrograms == 0)) {
            error = "the bank's current program " + std::to_string(current) + " is not one of its " +
                    std::to_string(numPrograms) + " programs";
            return false;
        }
        preset.currentProgram = static_cast<int32_t>(current);
    }
    preset.programs.resize(1);
    if (preset.isChunk) {
        return readChunk(bytes, bankHeaderSize, end, what, preset.programs[0].chunk, error);
    }
    // Each program takes at least its header: a count the file cannot hold is
    // refused before anything is reserved for it.
    const uint64_t held = end - bankHeaderSize;
    if (numPrograms * static_cast<uint64_t>(programHeaderSize) > held) {
        error = "the bank declares " + std::to_string(numPrograms) + " programs, but its size field leaves " +
                std::to_string(held) + " bytes for them";
        return false;
    }
    preset.programs.assign(numPrograms, PresetProgram());
    size_t at = bankHeaderSize;
    for (uint32_t index = 0; index < numPrograms; ++index) {
        const std::string program = "program " + std::to_string(index) + " of the bank";
        size_t programEnd = 0;
        if (!parseProgram(bytes, at, true, program, preset, preset.programs[index], programEnd, error)) {
            return false;
        }
        if (programEnd > end) {
            error = program + " runs past the end of the bank's size field";
            return false;
        }
        if (index == 0) {
            preset.numParams = static_cast<int32_t>(preset.programs[0].parameters.size());
        } else if (preset.programs[index].parameters.size() != static_cast<size_t>(preset.numParams)) {
            error = program + " has " + std::to_string(preset.programs[index].parameters.size()) +
                    " parameter values where program 0 has " + std::to_string(preset.numParams);
            return false;
        }
        at = programEnd;
    }
    if (at != end) {
        error = "the bank's size field leaves " + std::to_string(end - at) + " bytes after its last program";
        return false;
    }
    return true;
}

void appendName(std::vector<uint8_t>& out, const std::string& name)
{
    for (size_t i = 0; i < 28; ++i) {
        out.push_back(i < std::min(name.size(), presetNameLength) ? static_cast<uint8_t>(name[i]) : 0);
    }
}

void appendFloat(std::vector<uint8_t>& out, float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    append(out, bits);
}

void appendProgram(std::vector<uint8_t>& out, const PresetFile& preset, const PresetProgram& program, bool chunk)
{
    const size_t start = out.size();
    appendTag(out, "CcnK");
    append(out, 0);
    appendTag(out, chunk ? "FPCh" : "FxCk");
    append(out, 1);
    append(out, static_cast<uint32_t>(preset.fxID));
    append(out, static_cast<uint32_t>(preset.fxVersion));
    append(out, static_cast<uint32_t>(chunk ? preset.numParams : static_cast<int32_t>(program.parameters.size())));
    appendName(out, program.name);
    if (chunk) {
        append(out, static_cast<uint32_t>(program.chunk.size()));
        out.insert(out.end(), program.chunk.begin(), program.chunk.end());
    } else {
        for (float value : program.parameters) {
            appendFloat(out, value);
        }
    }
    patchSize(out, start);
}

}  // namespace

bool parsePresetFile(const std::vector<uint8_t>& bytes, PresetFile& preset, std::string& error)
{
    preset = PresetFile();
    error.clear();
    size_t end = 0;
    bool parsed = false;
    if (bytes.size() >= 12 &&
        (std::memcmp(bytes.data() + 8, "FxBk", 4) == 0 || std::memcmp(bytes.data() + 8, "FBCh", 4) == 0)) {
        parsed = parseBank(bytes, preset, end, error);
    } else {
        preset.programs.resize(1);
        parsed = parseProgram(bytes, 0, false, "the file", preset, preset.programs[0], end, error);
    }
    if (parsed && end != bytes.size()) {
        error = "the file goes on for " + std::to_string(bytes.size() - end) + " bytes after its preset";
        parsed = false;
    }
    if (!parsed) {
        preset = PresetFile();
    }
    return parsed;
}

std::vector<uint8_t> serializePresetFile(const PresetFile& preset)
{
    std::vector<uint8_t> out;
    if (!preset.isBank) {
        static const PresetProgram empty;
        appendProgram(out, preset, preset.programs.empty() ? empty : preset.programs[0], preset.isChunk);
        return out;
    }
    appendTag(out, "CcnK");
    append(out, 0);
    appendTag(out, preset.isChunk ? "FBCh" : "FxBk");
    append(out, preset.currentProgram >= 0 ? 2 : 1);
    append(out, static_cast<uint32_t>(preset.fxID));
    append(out, static_cast<uint32_t>(preset.fxVersion));
    const uint32_t count =
        preset.isChunk ? static_cast<uint32_t>(preset.numPrograms) : static_cast<uint32_t>(preset.programs.size());
    append(out, count);
    append(out, preset.currentProgram >= 0 ? static_cast<uint32_t>(preset.currentProgram) : 0);
    out.resize(bankHeaderSize, 0);
    if (preset.isChunk) {
        const std::vector<uint8_t> none;
        const std::vector<uint8_t>& chunk = preset.programs.empty() ? none : preset.programs[0].chunk;
        append(out, static_cast<uint32_t>(chunk.size()));
        out.insert(out.end(), chunk.begin(), chunk.end());
    } else {
        for (const PresetProgram& program : preset.programs) {
            appendProgram(out, preset, program, false);
        }
    }
    patchSize(out, 0);
    return out;
}

bool presetFitsPlugin(const PresetFile& preset, const std::string& fileName, const PresetTarget& target,
                      std::string& error)
{
    if (preset.fxID != target.uniqueID) {
        error = fileName + " is for another plug-in (id '" + common::fourCharacterText(preset.fxID) +
                "', this one is '" + common::fourCharacterText(target.uniqueID) + "')";
        return false;
    }
    if (preset.isChunk) {
        if (!target.keepsChunks) {
            error = fileName + " holds a chunk, but the plug-in keeps its programs as parameter values";
            return false;
        }
        return true;
    }
    for (size_t index = 0; index < preset.programs.size(); ++index) {
        if (preset.programs[index].parameters.size() != static_cast<size_t>(target.numParams)) {
            error = fileName + " holds " + std::to_string(preset.programs[index].parameters.size()) +
                    " parameter values, the plug-in has " + std::to_string(target.numParams) + " parameters";
            return false;
        }
    }
    if (preset.isBank && preset.programs.size() > static_cast<size_t>(std::max(target.numPrograms, 0))) {
        error = fileName + " holds " + std::to_string(preset.programs.size()) + " programs, the plug-in has " +
                std::to_string(target.numPrograms);
        return false;
    }
    return true;
}

}  // namespace host
