#include "PngEncoder.h"

#include <zlib.h>

namespace nbstandin {

namespace {

void PutBigEndian(std::string& out, uint32_t value) {
    out.push_back(static_cast<char>(value >> 24));
    out.push_back(static_cast<char>(value >> 16));
    out.push_back(static_cast<char>(value >> 8));
    out.push_back(static_cast<char>(value));
}

void PutChunk(std::string& out, const char type[4], const std::string& data) {
    PutBigEndian(out, static_cast<uint32_t>(data.size()));
    std::string typed(type, 4);
    typed += data;
    out += typed;
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()));
    PutBigEndian(out, static_cast<uint32_t>(crc));
}

}  // namespace

std::string EncodePngRgba(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgba) {
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    if (width == 0 || height == 0 || rgba.size() != rowBytes * height) return std::string();

    // Every row gets filter type 0 (none); the pictures are tiny, so better filters gain nothing.
    std::vector<uint8_t> raw;
    raw.reserve((rowBytes + 1) * height);
    for (uint32_t y = 0; y < height; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), rgba.begin() + static_cast<ptrdiff_t>(y * rowBytes),
                   rgba.begin() + static_cast<ptrdiff_t>((y + 1) * rowBytes));
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, raw.data(),
                  static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION) != Z_OK) {
        return std::string();
    }
    packed.resize(packedSize);

    std::string header;
    PutBigEndian(header, width);
    PutBigEndian(header, height);
    header.push_back(8);  // bit depth
    header.push_back(6);  // colour type: truecolour with alpha
    header.push_back(0);  // compression: deflate
    header.push_back(0);  // filter method
    header.push_back(0);  // no interlace

    std::string png("\x89PNG\r\n\x1a\n", 8);
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", std::string());
    return png;
}

}  // namespace nbstandin
