#include "skin/SkinImage.h"

#include <utility>

#include "platform/Files.h"

namespace nb {

SkinImage::SkinImage(int width, int height, std::vector<std::uint32_t> pixels, std::string format)
    : m_format(std::move(format)) {
    if (width <= 0 || height <= 0 ||
        pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
        m_lastStatus = SkinStatus::InvalidParameter;
        return;
    }
    m_nWidth = width;
    m_nHeight = height;
    m_pixels = std::make_shared<std::vector<std::uint32_t>>(std::move(pixels));
}

SkinImage SkinImage::Transparent(int width, int height) {
    if (width <= 0 || height <= 0) return {};
    return SkinImage(width, height, std::vector<std::uint32_t>(static_cast<size_t>(width) * height, 0u));
}

std::uint32_t* SkinImage::MutablePixels() {
    if (!m_pixels) return nullptr;
    if (m_pixels.use_count() > 1) m_pixels = std::make_shared<std::vector<std::uint32_t>>(*m_pixels);
    return m_pixels->data();
}

std::uint32_t SkinImage::PixelAt(int x, int y) const {
    if (!m_pixels || x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight) return 0;
    return (*m_pixels)[static_cast<size_t>(y) * m_nWidth + x];
}

int SkinImage::FrameWidth(unsigned frameCount) const {
    if (frameCount == 0) return 0;
    return static_cast<int>(static_cast<unsigned>(Width()) / frameCount);
}

Rect SkinImage::FrameRect(unsigned frameCount, int frame) const {
    const int frameWidth = FrameWidth(frameCount);
    if (frame < 0 || static_cast<unsigned>(frame) >= frameCount || frameWidth == 0) return {};
    return Rect(frame * frameWidth, 0, frameWidth, Height());
}

SkinImage LoadSkinImage(int id, SkinResourceType type) {
    std::string bytes;
    if (!ReadSkinResource(id, type, bytes)) {
        SkinImage empty;
        empty.SetLastStatus(SkinStatus::NotFound);
        return empty;
    }
    return DecodeSkinImage(bytes);
}

SkinImage LoadSkinImageFromFile(const std::string& path) {
    std::string bytes;
    if (path.empty() || !platform::ReadWholeFile(path, bytes)) {
        SkinImage empty;
        empty.SetLastStatus(SkinStatus::NotFound);
        return empty;
    }
    return DecodeSkinImage(bytes);
}

}  // namespace nb
