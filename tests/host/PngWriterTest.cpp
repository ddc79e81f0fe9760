// The PNG writer: checksums against published values, the file's layout,
// and (through tests/host/check_png.py, which decodes them with Python's
// zlib) sample pictures written where VELMORANT_PNG_SAMPLES points.
#include "HostTestSupport.h"

#include <random>
#include <set>

#include "EditorShot.h"
#include "PngWriter.h"

namespace {

using namespace host;

uint32_t wordAt(const std::vector<uint8_t>& bytes, size_t at)
{
    return static_cast<uint32_t>(bytes[at]) << 24 | static_cast<uint32_t>(bytes[at + 1]) << 16 |
           static_cast<uint32_t>(bytes[at + 2]) << 8 | bytes[at + 3];
}

struct PngChunk {
    std::string type;
    std::vector<uint8_t> data;
    bool crcMatches = false;
};

// The chunks of a PNG after its signature; empty when it is cut short.
std::vector<PngChunk> chunksOf(const std::vector<uint8_t>& png)
{
    std::vector<PngChunk> chunks;
    size_t at = 8;
    while (at + 12 <= png.size()) {
        const uint32_t length = wordAt(png, at);
        if (at + 12 + length > png.size()) {
            return {};
        }
        PngChunk chunk;
        chunk.type.assign(reinterpret_cast<const char*>(png.data() + at + 4), 4);
        chunk.data.assign(png.begin() + static_cast<std::ptrdiff_t>(at + 8),
                          png.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
        chunk.crcMatches = pngCrc32(png.data() + at + 4, 4 + length) == wordAt(png, at + 8 + length);
        chunks.push_back(chunk);
        at += 12 + length;
    }
    return at == png.size() ? chunks : std::vector<PngChunk>();
}

// The pictures check_png.py decodes: a single pixel, flat colour (long
// matches), noise (stored blocks), gradients and stripes (short matches at
// many distances), one wider than a deflate window row.
std::vector<EditorPicture> samplePictures()
{
    std::mt19937 random(7);
    std::vector<EditorPicture> pictures;
    auto add = [&](int32_t width, int32_t height, auto pixel) {
        EditorPicture picture;
        picture.width = width;
        picture.height = height;
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                for (int c = 0; c < 3; ++c) {
                    picture.rgb.push_back(static_cast<uint8_t>(pixel(x, y, c)));
                }
            }
        }
        pictures.push_back(picture);
    };
    add(1, 1, [](int32_t, int32_t, int c) { return 40 * c + 1; });
    add(300, 200, [](int32_t, int32_t, int c) { return c == 0 ? 36 : 40 + c; });
    add(257, 131, [&](int32_t, int32_t, int) { return random() & 0xFF; });
    add(440, 384, [](int32_t x, int32_t y, int c) { return (x * (c + 1) + y / 3) & 0xFF; });
    add(11000, 3, [](int32_t x, int32_t y, int c) { return ((x / 7) % 5) * 50 + y + c; });
    add(97, 61, [&](int32_t x, int32_t, int c) { return (x % 9 == 0) ? (random() & 0xFF) : 200 - c; });
    return pictures;
}

TEST(PngWriter, ChecksumsMatchTheirPublishedValues)
{
    const std::string digits = "123456789";
    EXPECT_EQ(pngCrc32(reinterpret_cast<const uint8_t*>(digits.data()), digits.size()), 0xCBF43926u);
    const std::string word = "Wikipedia";
    EXPECT_EQ(adler32(reinterpret_cast<const uint8_t*>(word.data()), word.size()), 0x11E60398u);
    EXPECT_EQ(adler32(nullptr, 0), 1u);
    // A running CRC over two pieces equals the CRC of the whole.
    const uint32_t first = pngCrc32(reinterpret_cast<const uint8_t*>(digits.data()), 4);
    EXPECT_EQ(pngCrc32(reinterpret_cast<const uint8_t*>(digits.data()) + 4, 5, first), 0xCBF43926u);
}

TEST(PngWriter, FileHasSignatureHeaderDataAndEndWithTheirChecksums)
{
    const std::vector<uint8_t> rgb(5 * 3 * 3, 0x80);
    const std::vector<uint8_t> png = encodePng(5, 3, rgb);
    const std::vector<uint8_t> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(std::vector<uint8_t>(png.begin(), png.begin() + 8), signature);
    const std::vector<PngChunk> chunks = chunksOf(png);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].type, "IHDR");
    EXPECT_EQ(chunks[0].data, (std::vector<uint8_t>{0, 0, 0, 5, 0, 0, 0, 3, 8, 2, 0, 0, 0}));
    EXPECT_EQ(chunks[1].type, "IDAT");
    EXPECT_EQ(chunks[2].type, "IEND");
    for (const PngChunk& chunk : chunks) {
        EXPECT_TRUE(chunk.crcMatches) << chunk.type;
    }
    // Every PNG ends with the same twelve bytes: an empty IEND and its CRC.
    const std::vector<uint8_t> end = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    EXPECT_EQ(std::vector<uint8_t>(png.end() - 12, png.end()), end);
    // The zlib stream: a valid header, the Adler-32 of the filtered rows last.
    const std::vector<uint8_t>& stream = chunks[1].data;
    ASSERT_GE(stream.size(), 6u);
    EXPECT_EQ((stream[0] * 256 + stream[1]) % 31, 0);
    EXPECT_EQ(stream[0] & 0x0F, 8);  // deflate
    std::vector<uint8_t> rows;
    for (int y = 0; y < 3; ++y) {
        rows.push_back(0);
        rows.insert(rows.end(), 15, 0x80);
    }
    EXPECT_EQ(wordAt(stream, stream.size() - 4), adler32(rows.data(), rows.size()));

    EXPECT_TRUE(encodePng(0, 3, {}).empty());
    EXPECT_TRUE(encodePng(5, 3, std::vector<uint8_t>(44)).empty());
    EXPECT_TRUE(encodePng(-1, -1, std::vector<uint8_t>(3)).empty());
}

TEST(PngWriter, FlatPicturesShrinkAndNoiseFallsBackToStoredBlocks)
{
    const std::vector<uint8_t> flat(440 * 384 * 3, 36);
    EXPECT_LT(encodePng(440, 384, flat).size(), flat.size() / 100);

    std::mt19937 random(3);
    std::vector<uint8_t> noise(70000);
    for (uint8_t& byte : noise) {
        byte = static_cast<uint8_t>(random());
    }
    const std::vector<uint8_t> stream = zlibCompress(noise);
    // Two stored blocks (65535 and 4465 bytes), each with a five-byte header.
    ASSERT_EQ(stream.size(), 2u + 5u + 65535u + 5u + 4465u + 4u);
    EXPECT_EQ(stream[2], 0);  // not final, stored
    EXPECT_EQ(stream[3] | stream[4] << 8, 65535);
    EXPECT_EQ(stream[5] | stream[6] << 8, 0);  // the length's complement
    EXPECT_EQ(stream[2 + 5 + 65535], 1);       // final, stored
    EXPECT_EQ(stream[2 + 5 + 65535 + 1] | stream[2 + 5 + 65535 + 2] << 8, 4465);
    EXPECT_EQ(std::vector<uint8_t>(stream.begin() + 7, stream.begin() + 7 + 65535),
              std::vector<uint8_t>(noise.begin(), noise.begin() + 65535));
}

// Writes the samples and their raw pixels for check_png.py, which decodes
// each with an independent inflater and compares.
TEST(PngWriter, SamplePicturesForAnIndependentDecoder)
{
    char folder[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("VELMORANT_PNG_SAMPLES", folder, MAX_PATH);
    const std::vector<EditorPicture> pictures = samplePictures();
    ScratchFolder scratch;
    const std::string target = length > 0 && length < MAX_PATH ? std::string(folder) + "\\" : scratch.path;
    for (size_t i = 0; i < pictures.size(); ++i) {
        const std::vector<uint8_t> png = encodePng(pictures[i].width, pictures[i].height, pictures[i].rgb);
        const std::vector<PngChunk> chunks = chunksOf(png);
        ASSERT_EQ(chunks.size(), 3u) << i;
        for (const PngChunk& chunk : chunks) {
            EXPECT_TRUE(chunk.crcMatches) << i << " " << chunk.type;
        }
        common::writeFile(target + "sample" + std::to_string(i) + ".png", png);
        common::writeFile(target + "sample" + std::to_string(i) + ".rgb", pictures[i].rgb);
        EXPECT_EQ(readBytes(target + "sample" + std::to_string(i) + ".png"), png);
    }
    if (length == 0) {
        // Without the decoder's folder the files go with the scratch folder.
        for (size_t i = 0; i < pictures.size(); ++i) {
            DeleteFileA((target + "sample" + std::to_string(i) + ".png").c_str());
            DeleteFileA((target + "sample" + std::to_string(i) + ".rgb").c_str());
        }
    }
}

// Needs a window station: run again with the null display driver (host_editor).
TEST(HostEditorShot, PictureIsTheEditorsSizeAndShowsItsControls)
{
    PluginInstance plugin;
    std::string error;
    ASSERT_EQ(plugin.load(binaryFolder() + "Velmorant.dll", error), LoadFailure::None) << error;
    ERect* rectangle = nullptr;
    ASSERT_EQ(plugin.dispatch(effEditGetRect, 0, 0, &rectangle), 1);
    ASSERT_NE(rectangle, nullptr);
    const uint32_t width = static_cast<uint32_t>(rectangle->right - rectangle->left);
    const uint32_t height = static_cast<uint32_t>(rectangle->bottom - rectangle->top);
    EditorPicture picture;
    if (!captureEditor(plugin, picture, error)) {
        ASSERT_NE(error.find("is there a display?"), std::string::npos) << error;
        GTEST_SKIP() << "no window station to open the editor in";
    }
    plugin.close();
    std::set<uint32_t> colours;
    for (size_t i = 0; i + 2 < picture.rgb.size(); i += 3) {
        colours.insert(static_cast<uint32_t>(picture.rgb[i]) << 16 | picture.rgb[i + 1] << 8 | picture.rgb[i + 2]);
    }
    EXPECT_GT(colours.size(), 8u) << "the window shows hardly anything";

    // The program writes the same kind of picture, exactly the editor's size.
    ScratchFolder scratch;
    const HostRun run = runHost({binaryFolder() + "Velmorant.dll", "--editor-shot", "editor.png"}, scratch);
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_NE(run.out.find("editor shot: editor.png (" + std::to_string(width) + " x " + std::to_string(height) + ")"),
              std::string::npos)
        << run.out;
    const std::vector<uint8_t> png = readBytes(scratch / "editor.png");
    const std::vector<PngChunk> chunks = chunksOf(png);
    ASSERT_EQ(chunks.size(), 3u);
    ASSERT_EQ(chunks[0].type, "IHDR");
    EXPECT_EQ(wordAt(chunks[0].data, 0), width);
    EXPECT_EQ(wordAt(chunks[0].data, 4), height);
    for (const PngChunk& chunk : chunks) {
        EXPECT_TRUE(chunk.crcMatches) << chunk.type;
    }
    EXPECT_EQ(png, encodePng(picture.width, picture.height, picture.rgb)) << "the two pictures differ";
}

TEST(HostEditorShot, WithoutAWindowTheProgramSaysSoWithSix)
{
    ScratchFolder scratch;
    // The tests' own prefix has no display; under the null driver the shot succeeds instead.
    const HostRun run = runHost({binaryFolder() + "Velmorant.dll", "--editor-shot", "editor.png"}, scratch);
    if (run.exitCode == 0) {
        EXPECT_FALSE(readBytes(scratch / "editor.png").empty());
        return;
    }
    EXPECT_EQ(run.exitCode, 6u);
    EXPECT_NE(run.err.find("velmorant-host: cannot make a window for the editor (is there a display?)"),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(readBytes(scratch / "editor.png").empty());
}

}  // namespace
