#include "PngWriter.h"

#include <algorithm>
#include <array>

namespace host {

namespace {

constexpr size_t windowSize = 32768;
constexpr size_t minMatch = 3;
constexpr size_t maxMatch = 258;
constexpr int hashBits = 15;
constexpr int maxChain = 48;  // candidates tried per position: speed over the last percent of size

constexpr uint16_t lengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                     31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t lengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                     2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t distanceBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                       33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                       1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t distanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                       6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Deflate's bit order: values least significant bit first, Huffman codes
// most significant bit first.
class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : out(out) {}
    void bits(uint32_t value, int count)
    {
        for (int i = 0; i < count; ++i) {
            put((value >> i) & 1u);
        }
    }
    void code(uint32_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            put((value >> i) & 1u);
        }
    }
    void flush()
    {
        if (used > 0) {
            out.push_back(current);
            current = 0;
            used = 0;
        }
    }

private:
    void put(uint32_t bit)
    {
        current = static_cast<uint8_t>(current | bit << used);
        if (++used == 8) {
            out.push_back(current);
            current = 0;
            used = 0;
        }
    }
    std::vector<uint8_t>& out;
    uint8_t current = 0;
    int used = 0;
};

// The fixed literal/length code of RFC 1951 section 3.2.6.
void literalOrLength(BitWriter& writer, uint32_t symbol)
{
    if (symbol < 144) {
        writer.code(0x30 + symbol, 8);
    } else if (symbol < 256) {
        writer.code(0x190 + symbol - 144, 9);
    } else if (symbol < 280) {
        writer.code(symbol - 256, 7);
    } else {
        writer.code(0xC0 + symbol - 280, 8);
    }
}

void match(BitWriter& writer, size_t length, size_t distance)
{
    int lengthCode = 28;
    while (lengthBase[lengthCode] > length) {
        --lengthCode;
    }
    literalOrLength(writer, 257 + static_cast<uint32_t>(lengthCode));
    writer.bits(static_cast<uint32_t>(length - lengthBase[lengthCode]), lengthExtra[lengthCode]);
    int distanceCode = 29;
    while (distanceBase[distanceCode] > distance) {
        --distanceCode;
    }
    writer.code(static_cast<uint32_t>(distanceCode), 5);
    writer.bits(static_cast<uint32_t>(distance - distanceBase[distanceCode]), distanceExtra[distanceCode]);
}

uint32_t hashAt(const std::vector<uint8_t>& data, size_t at)
{
    const uint32_t key =
        static_cast<uint32_t>(data[at]) << 16 | static_cast<uint32_t>(data[at + 1]) << 8 | data[at + 2];
    return (key * 2654435761u) >> (32 - hashBits);
}

void appendWord(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

void appendChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    appendWord(out, static_cast<uint32_t>(data.size()));
    const size_t typeAt = out.size();
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(type[i]));
    }
    out.insert(out.end(), data.begin(), data.end());
    appendWord(out, pngCrc32(out.data() + typeAt, out.size() - typeAt));
}

}  // namespace

uint32_t pngCrc32(const uint8_t* data, size_t size, uint32_t crc)
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> entries{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            entries[n] = c;
        }
        return entries;
    }();
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
    }
    return ~crc;
}

uint32_t adler32(const uint8_t* data, size_t size)
{
    uint32_t a = 1;
    uint32_t b = 0;
    for (size_t i = 0; i < size; ++i) {
        a = (a + data[i]) % 65521u;
        b = (b + a) % 65521u;
    }
    return b << 16 | a;
}

namespace {

// Stored blocks of at most 65535 bytes: what data that does not compress takes.
void storedBlocks(std::vector<uint8_t>& out, const std::vector<uint8_t>& data)
{
    size_t at = 0;
    do {
        const size_t length = std::min<size_t>(65535, data.size() - at);
        out.push_back(at + length == data.size() ? 1 : 0);  // final flag, type 00, padding to the byte
        out.push_back(static_cast<uint8_t>(length));
        out.push_back(static_cast<uint8_t>(length >> 8));
        out.push_back(static_cast<uint8_t>(~length));
        out.push_back(static_cast<uint8_t>(~length >> 8));
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                   data.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    } while (at < data.size());
}

void fixedBlock(std::vector<uint8_t>& out, const std::vector<uint8_t>& data)
{
    BitWriter writer(out);
    writer.bits(1, 1);  // the final block
    writer.bits(1, 2);  // fixed Huffman codes

    std::vector<int32_t> head(size_t{1} << hashBits, -1);
    std::vector<int32_t> previous(windowSize, -1);
    auto insert = [&](size_t at) {
        if (at + minMatch <= data.size()) {
            const uint32_t hash = hashAt(data, at);
            previous[at % windowSize] = head[hash];
            head[hash] = static_cast<int32_t>(at);
        }
    };
    size_t at = 0;
    while (at < data.size()) {
        size_t bestLength = 0;
        size_t bestDistance = 0;
        if (at + minMatch <= data.size()) {
            const size_t limit = std::min(maxMatch, data.size() - at);
            int32_t candidate = head[hashAt(data, at)];
            for (int chain = 0; chain < maxChain && candidate >= 0; ++chain) {
                const size_t from = static_cast<size_t>(candidate);
                if (at - from > windowSize) {
                    break;
                }
                size_t length = 0;
                while (length < limit && data[from + length] == data[at + length]) {
                    ++length;
                }
                if (length > bestLength) {
                    bestLength = length;
                    bestDistance = at - from;
                    if (length == limit) {
                        break;
                    }
                }
                const int32_t next = previous[from % windowSize];
                // An entry older than the window has been overwritten by a newer position.
                if (next >= candidate) {
                    break;
                }
                candidate = next;
            }
        }
        if (bestLength >= minMatch) {
            match(writer, bestLength, bestDistance);
            for (size_t i = 0; i < bestLength; ++i) {
                insert(at + i);
            }
            at += bestLength;
        } else {
            literalOrLength(writer, data[at]);
            insert(at);
            ++at;
        }
    }
    literalOrLength(writer, 256);
    writer.flush();
}

}  // namespace

std::vector<uint8_t> zlibCompress(const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> out = {0x78, 0x01};  // deflate, 32 KiB window; (0x78 * 256 + 0x01) % 31 == 0
    fixedBlock(out, data);
    const size_t storedSize = 2 + data.size() + 5 * std::max<size_t>(1, (data.size() + 65534) / 65535);
    if (out.size() > storedSize) {
        out.resize(2);
        storedBlocks(out, data);
    }
    appendWord(out, adler32(data.data(), data.size()));
    return out;
}

std::vector<uint8_t> encodePng(int32_t width, int32_t height, const std::vector<uint8_t>& rgb)
{
    if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 3) {
        return {};
    }
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    std::vector<uint8_t> rows;
    rows.reserve((rowBytes + 1) * static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y) {
        rows.push_back(0);  // filter: none
        const auto start = rgb.begin() + static_cast<std::ptrdiff_t>(rowBytes * static_cast<size_t>(y));
        rows.insert(rows.end(), start, start + static_cast<std::ptrdiff_t>(rowBytes));
    }
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    appendWord(header, static_cast<uint32_t>(width));
    appendWord(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, adaptive filters, no interlace
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", zlibCompress(rows));
    appendChunk(png, "IEND", {});
    return png;
}

}  // namespace host
