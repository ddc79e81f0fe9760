// PNG files from 8-bit RGB pixels, with the zlib stream written here: one
// deflate block of fixed Huffman codes over a greedy LZ77 search, which keeps
// pictures of flat-coloured windows small.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace host {

// The PNG of `rgb`: width * height pixels, three bytes each, rows top to
// bottom. Empty when the sizes do not match the pixels or are not positive.
std::vector<uint8_t> encodePng(int32_t width, int32_t height, const std::vector<uint8_t>& rgb);

// A zlib stream (RFC 1950) holding `data`.
std::vector<uint8_t> zlibCompress(const std::vector<uint8_t>& data);

// The checksums PNG chunks and zlib streams end with.
uint32_t pngCrc32(const uint8_t* data, size_t size, uint32_t crc = 0);
uint32_t adler32(const uint8_t* data, size_t size);

}  // namespace host
