// Preset files in the exchange format hosts use: a program (.fxp) or a bank
// (.fxb), each either the plug-in's parameter values or its opaque chunk.
// Pure byte work with no plug-in in sight, so that every hostile file can be
// refused before anything reaches one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace host {

// The files' header records. Every integer in them is big-endian, so the
// fields are bytes; offsets as in the files.
struct PresetWord {
    uint8_t bytes[4];
};

struct ProgramFileHeader {
    char chunkMagic[4];    //  0 'CcnK'
    PresetWord byteSize;   //  4 bytes after this field
    char fxMagic[4];       //  8 'FxCk' or 'FPCh'
    PresetWord version;    // 12
    PresetWord fxID;       // 16
    PresetWord fxVersion;  // 20
    PresetWord numParams;  // 24
    char programName[28];  // 28 zero-terminated
};                         // 56, then the values or the chunk

struct BankFileHeader {
    char chunkMagic[4];         //  0 'CcnK'
    PresetWord byteSize;        //  4
    char fxMagic[4];            //  8 'FxBk' or 'FBCh'
    PresetWord version;         // 12 1, or 2 with currentProgram
    PresetWord fxID;            // 16
    PresetWord fxVersion;       // 20
    PresetWord numPrograms;     // 24
    PresetWord currentProgram;  // 28 (version 2)
    char reserved[124];         // 32
};                              // 156, then the programs or the chunk

static_assert(sizeof(PresetWord) == 4, "PresetWord: four bytes");
static_assert(offsetof(ProgramFileHeader, byteSize) == 4, "ProgramFileHeader::byteSize");
static_assert(offsetof(ProgramFileHeader, fxMagic) == 8, "ProgramFileHeader::fxMagic");
static_assert(offsetof(ProgramFileHeader, version) == 12, "ProgramFileHeader::version");
static_assert(offsetof(ProgramFileHeader, fxID) == 16, "ProgramFileHeader::fxID");
static_assert(offsetof(ProgramFileHeader, fxVersion) == 20, "ProgramFileHeader::fxVersion");
static_assert(offsetof(ProgramFileHeader, numParams) == 24, "ProgramFileHeader::numParams");
static_assert(offsetof(ProgramFileHeader, programName) == 28, "ProgramFileHeader::programName");
static_assert(sizeof(ProgramFileHeader) == 56, "ProgramFileHeader: 56 bytes");
static_assert(offsetof(BankFileHeader, byteSize) == 4, "BankFileHeader::byteSize");
static_assert(offsetof(BankFileHeader, fxMagic) == 8, "BankFileHeader::fxMagic");
static_assert(offsetof(BankFileHeader, version) == 12, "BankFileHeader::version");
static_assert(offsetof(BankFileHeader, fxID) == 16, "BankFileHeader::fxID");
static_assert(offsetof(BankFileHeader, fxVersion) == 20, "BankFileHeader::fxVersion");
static_assert(offsetof(BankFileHeader, numPrograms) == 24, "BankFileHeader::numPrograms");
static_assert(offsetof(BankFileHeader, currentProgram) == 28, "BankFileHeader::currentProgram");
static_assert(offsetof(BankFileHeader, reserved) == 32, "BankFileHeader::reserved");
static_assert(sizeof(BankFileHeader) == 156, "BankFileHeader: 156 bytes");

// Longest name a program record holds, without its terminator.
constexpr size_t presetNameLength = 27;

struct PresetProgram {
    std::string name;
    std::vector<float> parameters;  // parameter form
    std::vector<uint8_t> chunk;     // chunk form (programs of a bank are always the parameter form)
};

struct PresetFile {
    bool isBank = false;
    bool isChunk = false;  // 'FPCh' / 'FBCh' rather than 'FxCk' / 'FxBk'
    int32_t fxID = 0;
    int32_t fxVersion = 0;
    // A program file: programs[0], its chunk in programs[0].chunk in the chunk
    // form. A bank: one entry per program in the parameter form; the bank's
    // chunk in programs[0].chunk in the chunk form.
    std::vector<PresetProgram> programs;
    int32_t numParams = 0;        // the chunk form's program header names a count, kept as read
    int32_t numPrograms = 0;      // a chunk bank's count, kept as read
    int32_t currentProgram = -1;  // a bank of version 2; -1 otherwise
};

// Reads a whole file; false with `error` (one sentence, without the file's
// name) for anything malformed: a wrong tag, a size that runs past the end or
// disagrees with the counts, a value that is not a number from 0 to 1.
bool parsePresetFile(const std::vector<uint8_t>& bytes, PresetFile& preset, std::string& error);

// The file's bytes; a bank of version 2 when currentProgram >= 0. Names are
// cut to presetNameLength.
std::vector<uint8_t> serializePresetFile(const PresetFile& preset);

// What a preset must match in the plug-in it is applied to.
struct PresetTarget {
    int32_t uniqueID = 0;
    int32_t numParams = 0;
    int32_t numPrograms = 0;
    bool keepsChunks = false;  // the record's flags say programs are chunks
};

// Whether a parsed preset can be applied to the target; false with `error`
// naming `fileName` otherwise.
bool presetFitsPlugin(const PresetFile& preset, const std::string& fileName, const PresetTarget& target,
                      std::string& error);

}  // namespace host
