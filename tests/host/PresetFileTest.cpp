// The preset file format on its own: exact bytes written, and hostile files
// (cut short, sizes past the end, wrong tags, counts that disagree, values
// that are not numbers) refused with a message.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "PresetFile.h"

namespace {

using namespace host;

constexpr int32_t velmorantId = 0x566C6D74;  // 'Vlmt'

uint32_t wordAt(const std::vector<uint8_t>& bytes, size_t at)
{
    return static_cast<uint32_t>(bytes[at]) << 24 | static_cast<uint32_t>(bytes[at + 1]) << 16 |
           static_cast<uint32_t>(bytes[at + 2]) << 8 | bytes[at + 3];
}

void putWord(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
    }
}

std::string tagAt(const std::vector<uint8_t>& bytes, size_t at)
{
    return std::string(reinterpret_cast<const char*>(bytes.data() + at), 4);
}

PresetFile chunkProgram()
{
    PresetFile preset;
    preset.isChunk = true;
    preset.fxID = velmorantId;
    preset.fxVersion = 7;
    preset.numParams = 14;
    preset.programs.resize(1);
    preset.programs[0].name = "Warm Pad";
    preset.programs[0].chunk = {1, 2, 3, 4, 5, 0, 255};
    return preset;
}

PresetFile parameterProgram()
{
    PresetFile preset;
    preset.fxID = velmorantId;
    preset.fxVersion = 1;
    preset.programs.resize(1);
    preset.programs[0].name = "Values";
    preset.programs[0].parameters = {0.0f, 0.5f, 1.0f, 0.25f};
    preset.numParams = 4;
    return preset;
}

PresetFile parameterBank()
{
    PresetFile preset;
    preset.isBank = true;
    preset.fxID = velmorantId;
    preset.fxVersion = 2;
    preset.numParams = 2;
    preset.currentProgram = 2;
    for (int i = 0; i < 3; ++i) {
        PresetProgram program;
        program.name = "Prg " + std::to_string(i);
        program.parameters = {0.1f * static_cast<float>(i), 1.0f - 0.1f * static_cast<float>(i)};
        preset.programs.push_back(program);
    }
    return preset;
}

PresetFile chunkBank()
{
    PresetFile preset;
    preset.isBank = true;
    preset.isChunk = true;
    preset.fxID = velmorantId;
    preset.fxVersion = 1;
    preset.numPrograms = 512;
    preset.currentProgram = 3;
    preset.programs.resize(1);
    preset.programs[0].chunk = std::vector<uint8_t>(72, 0xA5);
    return preset;
}

void expectSame(const PresetFile& a, const PresetFile& b)
{
    EXPECT_EQ(a.isBank, b.isBank);
    EXPECT_EQ(a.isChunk, b.isChunk);
    EXPECT_EQ(a.fxID, b.fxID);
    EXPECT_EQ(a.fxVersion, b.fxVersion);
    EXPECT_EQ(a.currentProgram, b.currentProgram);
    ASSERT_EQ(a.programs.size(), b.programs.size());
    for (size_t i = 0; i < a.programs.size(); ++i) {
        EXPECT_EQ(a.programs[i].name, b.programs[i].name) << i;
        EXPECT_EQ(a.programs[i].parameters, b.programs[i].parameters) << i;
        EXPECT_EQ(a.programs[i].chunk, b.programs[i].chunk) << i;
    }
}

// Parsing must fail, say why, and leave nothing behind.
void expectRefused(const std::vector<uint8_t>& bytes, const std::string& why, const std::string& context)
{
    PresetFile preset;
    std::string error;
    EXPECT_FALSE(parsePresetFile(bytes, preset, error)) << context;
    EXPECT_NE(error.find(why), std::string::npos) << context << ": " << error;
    EXPECT_TRUE(preset.programs.empty()) << context;
}

TEST(PresetFile, ChunkProgramIsWrittenInTheExchangeLayout)
{
    const std::vector<uint8_t> bytes = serializePresetFile(chunkProgram());
    ASSERT_EQ(bytes.size(), 60u + 7u);
    EXPECT_EQ(tagAt(bytes, 0), "CcnK");
    EXPECT_EQ(wordAt(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(tagAt(bytes, 8), "FPCh");
    EXPECT_EQ(wordAt(bytes, 12), 1u);
    EXPECT_EQ(tagAt(bytes, 16), "Vlmt");
    EXPECT_EQ(wordAt(bytes, 20), 7u);
    EXPECT_EQ(wordAt(bytes, 24), 14u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data() + 28)), "Warm Pad");
    for (size_t at = 28 + 8; at < 56; ++at) {
        EXPECT_EQ(bytes[at], 0) << at;
    }
    EXPECT_EQ(wordAt(bytes, 56), 7u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 60, bytes.end()), chunkProgram().programs[0].chunk);

    PresetFile parsed;
    std::string error;
    ASSERT_TRUE(parsePresetFile(bytes, parsed, error)) << error;
    expectSame(parsed, chunkProgram());
    EXPECT_EQ(parsed.numParams, 14);
}

TEST(PresetFile, ParameterProgramAndBothBankFormsRoundTrip)
{
    const std::vector<uint8_t> program = serializePresetFile(parameterProgram());
    ASSERT_EQ(program.size(), 56u + 16u);
    EXPECT_EQ(tagAt(program, 8), "FxCk");
    EXPECT_EQ(wordAt(program, 24), 4u);
    EXPECT_EQ(wordAt(program, 56 + 4), 0x3F000000u);  // 0.5, big-endian
    EXPECT_EQ(wordAt(program, 56 + 8), 0x3F800000u);

    const std::vector<uint8_t> bank = serializePresetFile(parameterBank());
    ASSERT_EQ(bank.size(), 156u + 3u * (56u + 8u));
    EXPECT_EQ(tagAt(bank, 8), "FxBk");
    EXPECT_EQ(wordAt(bank, 4), bank.size() - 8);
    EXPECT_EQ(wordAt(bank, 12), 2u);  // with the current program
    EXPECT_EQ(wordAt(bank, 24), 3u);
    EXPECT_EQ(wordAt(bank, 28), 2u);
    for (size_t at = 32; at < 156; ++at) {
        EXPECT_EQ(bank[at], 0) << at;
    }
    for (size_t i = 0; i < 3; ++i) {
        const size_t at = 156 + i * 64;
        EXPECT_EQ(tagAt(bank, at), "CcnK") << i;
        EXPECT_EQ(wordAt(bank, at + 4), 56u) << i;
        EXPECT_EQ(tagAt(bank, at + 8), "FxCk") << i;
        EXPECT_EQ(tagAt(bank, at + 16), "Vlmt") << i;
    }

    const std::vector<uint8_t> chunks = serializePresetFile(chunkBank());
    ASSERT_EQ(chunks.size(), 160u + 72u);
    EXPECT_EQ(tagAt(chunks, 8), "FBCh");
    EXPECT_EQ(wordAt(chunks, 24), 512u);
    EXPECT_EQ(wordAt(chunks, 28), 3u);
    EXPECT_EQ(wordAt(chunks, 156), 72u);

    for (const PresetFile& original : {parameterProgram(), parameterBank(), chunkBank()}) {
        PresetFile parsed;
        std::string error;
        ASSERT_TRUE(parsePresetFile(serializePresetFile(original), parsed, error)) << error;
        expectSame(parsed, original);
    }
    // Version 1 banks carry no current program.
    PresetFile plain = parameterBank();
    plain.currentProgram = -1;
    const std::vector<uint8_t> versionOne = serializePresetFile(plain);
    EXPECT_EQ(wordAt(versionOne, 12), 1u);
    PresetFile parsed;
    std::string error;
    ASSERT_TRUE(parsePresetFile(versionOne, parsed, error)) << error;
    EXPECT_EQ(parsed.currentProgram, -1);
}

TEST(PresetFile, NamesAreCutToTwentySevenCharactersAndAFullFieldIsRead)
{
    PresetFile preset = chunkProgram();
    preset.programs[0].name = std::string(40, 'n');
    std::vector<uint8_t> bytes = serializePresetFile(preset);
    EXPECT_EQ(bytes[28 + 26], 'n');
    EXPECT_EQ(bytes[28 + 27], 0);
    PresetFile parsed;
    std::string error;
    ASSERT_TRUE(parsePresetFile(bytes, parsed, error)) << error;
    EXPECT_EQ(parsed.programs[0].name, std::string(27, 'n'));
    // Another writer's name filling all 28 bytes, unterminated, stays inside the field.
    bytes[28 + 27] = 'x';
    ASSERT_TRUE(parsePresetFile(bytes, parsed, error)) << error;
    EXPECT_EQ(parsed.programs[0].name, std::string(27, 'n') + "x");
}

TEST(PresetFile, EveryTruncationOfEveryKindIsRefused)
{
    for (const PresetFile& preset : {chunkProgram(), parameterProgram(), parameterBank(), chunkBank()}) {
        const std::vector<uint8_t> bytes = serializePresetFile(preset);
        for (size_t length = 0; length < bytes.size(); ++length) {
            const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
            PresetFile parsed;
            std::string error;
            EXPECT_FALSE(parsePresetFile(cut, parsed, error)) << length << " of " << bytes.size();
            EXPECT_FALSE(error.empty()) << length;
        }
    }
    expectRefused({}, "ends after 0 bytes, inside its header", "empty");
    std::vector<uint8_t> cut = serializePresetFile(chunkProgram());
    cut.resize(40);
    expectRefused(cut, "the file's size field (59 bytes) runs past the end of the file (32 bytes follow it)", "cut");
}

TEST(PresetFile, SizeFieldsThatRunPastTheEndOrDisagreeAreRefused)
{
    std::vector<uint8_t> bytes = serializePresetFile(chunkProgram());
    putWord(bytes, 4, 0xFFFFFFFFu);
    expectRefused(bytes, "runs past the end of the file", "byteSize 0xFFFFFFFF");
    putWord(bytes, 4, static_cast<uint32_t>(bytes.size() - 8 + 1));
    expectRefused(bytes, "runs past the end of the file", "byteSize one too many");
    putWord(bytes, 4, 40);
    expectRefused(bytes, "leaves no room for its 56-byte header", "byteSize inside the header");

    bytes = serializePresetFile(chunkProgram());
    putWord(bytes, 56, 8);
    expectRefused(bytes, "chunk size (8 bytes) disagrees with its size field, which leaves 7", "chunk one too long");
    putWord(bytes, 56, 6);
    expectRefused(bytes, "chunk size (6 bytes) disagrees", "chunk one too short");
    putWord(bytes, 56, 0xFFFFFFF0u);
    expectRefused(bytes, "disagrees", "huge chunk");

    bytes = serializePresetFile(chunkProgram());
    bytes.push_back(0);
    expectRefused(bytes, "goes on for 1 bytes after its preset", "trailing byte");

    // A program of a bank whose own size reaches past the bank's.
    bytes = serializePresetFile(parameterBank());
    putWord(bytes, 156 + 2 * 64 + 4, 60);
    expectRefused(bytes, "program 2 of the bank's size field (60 bytes) runs past the end", "inner byteSize");
    // Programs that the bank's size field cannot hold.
    bytes = serializePresetFile(parameterBank());
    putWord(bytes, 24, 0x7FFFFFFFu);
    expectRefused(bytes, "the bank declares 2147483647 programs", "huge numPrograms");
    putWord(bytes, 24, 2);
    putWord(bytes, 28, 1);
    expectRefused(bytes, "leaves 64 bytes after its last program", "fewer programs than stored");
    bytes = serializePresetFile(chunkBank());
    putWord(bytes, 156, 73);
    expectRefused(bytes, "the bank's chunk size (73 bytes) disagrees", "bank chunk too long");
}

TEST(PresetFile, WrongTagsAreRefused)
{
    std::vector<uint8_t> bytes = serializePresetFile(chunkProgram());
    bytes[3] = 'X';
    expectRefused(bytes, "does not start with 'CcnK' (it has 'CcnX'): it is not a preset", "chunkMagic");
    bytes = serializePresetFile(chunkProgram());
    std::memcpy(bytes.data() + 8, "FPCX", 4);
    expectRefused(bytes, "has the kind 'FPCX' where 'FxCk' or 'FPCh' belongs", "fxMagic");
    // A bank's programs are parameter records only.
    bytes = serializePresetFile(parameterBank());
    std::memcpy(bytes.data() + 156 + 8, "FPCh", 4);
    expectRefused(bytes, "program 0 of the bank has the kind 'FPCh' where 'FxCk' belongs", "inner fxMagic");
    bytes = serializePresetFile(parameterBank());
    std::memcpy(bytes.data() + 156 + 64 + 16, "abcd", 4);
    expectRefused(bytes, "program 1 of the bank is for another plug-in (id 'abcd', the bank's is 'Vlmt')",
                  "inner fxID");
    bytes = serializePresetFile(parameterBank());
    putWord(bytes, 28, 3);
    expectRefused(bytes, "current program 3 is not one of its 3 programs", "currentProgram");
}

TEST(PresetFile, ParameterCountsThatDisagreeAreRefused)
{
    std::vector<uint8_t> bytes = serializePresetFile(parameterProgram());
    putWord(bytes, 24, 5);
    expectRefused(bytes, "the file's 5 parameter values take 20 bytes, but its size field leaves 16", "one more");
    putWord(bytes, 24, 3);
    expectRefused(bytes, "3 parameter values take 12 bytes", "one fewer");
    putWord(bytes, 24, 0x40000001u);
    expectRefused(bytes, "too many to be a preset", "overflowing count");

    // A bank whose programs each hold themselves together but differ in count.
    PresetFile uneven = parameterBank();
    uneven.programs[1].parameters.push_back(0.5f);
    expectRefused(serializePresetFile(uneven), "program 1 of the bank has 3 parameter values where program 0 has 2",
                  "uneven bank");
}

TEST(PresetFile, ValuesThatAreNotNumbersFromZeroToOneAreRefused)
{
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), -0.1f, 1.5f}) {
        PresetFile preset = parameterProgram();
        preset.programs[0].parameters[2] = bad;
        expectRefused(serializePresetFile(preset), "the file's parameter 2 has the value", std::to_string(bad));
        PresetFile bank = parameterBank();
        bank.programs[2].parameters[1] = bad;
        expectRefused(serializePresetFile(bank), "program 2 of the bank's parameter 1 has the value",
                      std::to_string(bad));
    }
}

TEST(PresetFile, RandomDamageIsRefusedOrReadsAsAConsistentPreset)
{
    std::mt19937 random(20261208);
    int accepted = 0;
    for (const PresetFile& original : {chunkProgram(), parameterProgram(), parameterBank(), chunkBank()}) {
        const std::vector<uint8_t> bytes = serializePresetFile(original);
        for (int trial = 0; trial < 1500; ++trial) {
            std::vector<uint8_t> damaged = bytes;
            const int changes = 1 + static_cast<int>(random() % 4);
            for (int i = 0; i < changes; ++i) {
                damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
            }
            PresetFile parsed;
            std::string error;
            if (!parsePresetFile(damaged, parsed, error)) {
                EXPECT_FALSE(error.empty());
                continue;
            }
            ++accepted;
            // What was accepted is a preset in its own right: written again it reads the same.
            PresetFile again;
            ASSERT_TRUE(parsePresetFile(serializePresetFile(parsed), again, error)) << error;
            expectSame(again, parsed);
        }
    }
    // Damage to names and chunk bytes is not detectable: some must have been read.
    EXPECT_GT(accepted, 0);
}

TEST(PresetFile, FittingThePlugInNeedsItsIdItsCountsAndChunksWhereTheFileHasThem)
{
    PresetTarget velmorant;
    velmorant.uniqueID = velmorantId;
    velmorant.numParams = 4;
    velmorant.numPrograms = 2;
    velmorant.keepsChunks = true;
    std::string error;
    EXPECT_TRUE(presetFitsPlugin(chunkProgram(), "a.fxp", velmorant, error)) << error;
    EXPECT_TRUE(presetFitsPlugin(parameterProgram(), "a.fxp", velmorant, error)) << error;

    PresetFile other = chunkProgram();
    other.fxID = 0x61626364;
    EXPECT_FALSE(presetFitsPlugin(other, "preset.fxp", velmorant, error));
    EXPECT_EQ(error, "preset.fxp is for another plug-in (id 'abcd', this one is 'Vlmt')");

    PresetTarget parameters = velmorant;
    parameters.keepsChunks = false;
    EXPECT_FALSE(presetFitsPlugin(chunkProgram(), "c.fxp", parameters, error));
    EXPECT_EQ(error, "c.fxp holds a chunk, but the plug-in keeps its programs as parameter values");

    PresetTarget wider = velmorant;
    wider.numParams = 14;
    EXPECT_FALSE(presetFitsPlugin(parameterProgram(), "p.fxp", wider, error));
    EXPECT_EQ(error, "p.fxp holds 4 parameter values, the plug-in has 14 parameters");

    PresetTarget narrow = velmorant;
    narrow.numParams = 2;
    EXPECT_FALSE(presetFitsPlugin(parameterBank(), "b.fxb", narrow, error));
    EXPECT_EQ(error, "b.fxb holds 3 programs, the plug-in has 2");
    narrow.numPrograms = 3;
    EXPECT_TRUE(presetFitsPlugin(parameterBank(), "b.fxb", narrow, error)) << error;
}

}  // namespace
