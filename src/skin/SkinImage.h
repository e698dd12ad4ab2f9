#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "skin/SkinTypes.h"

namespace nb {

// What the last failed operation on a picture or a drawing surface was. Drawing failures
// never stop a caller: they are recorded here and otherwise ignored, so a picture that did
// not load simply does not appear.
enum class SkinStatus {
    Ok = 0,
    InvalidParameter,    // an empty picture, a frame outside the strip, a zero frame count
    NotFound,            // no resource with that id, or no such file
    UnknownImageFormat,  // the bytes are there but do not decode
};

// Which family of resources an id names: the skin pictures (PNG or JPEG data), or the
// plain bitmaps (BMP data) that the edit-box panels use as their field background.
enum class SkinResourceType { Png, Bitmap };

// One decoded picture as premultiplied ARGB words (0xAARRGGBB, rows top to bottom, no
// padding): the layout both a QImage and a 32-bit DIB section use, so a backend draws from
// and into it without converting. A picture that failed to load is empty: its width and
// height read 0 and drawing it draws nothing. Cheap to copy (the pixels are shared; writing
// through MutablePixels gives this copy pixels of its own first).
class SkinImage {
public:
    SkinImage() = default;
    // A picture of premultiplied pixels; `pixels` holds width x height words.
    SkinImage(int width, int height, std::vector<std::uint32_t> pixels, std::string format = {});
    // A fully transparent picture of that size; empty for a size without pixels.
    static SkinImage Transparent(int width, int height);

    bool IsEmpty() const { return !m_pixels; }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    Size Extent() const { return {m_nWidth, m_nHeight}; }
    const std::uint32_t* Pixels() const { return m_pixels ? m_pixels->data() : nullptr; }
    std::uint32_t* MutablePixels();
    // The premultiplied pixel at (x, y); 0 outside the picture.
    std::uint32_t PixelAt(int x, int y) const;
    // Identifies the pixel buffer: equal for copies, different after any change.
    const void* Identity() const { return m_pixels.get(); }
    // The encoding the pixels came from ("png", "jpeg", "bmp"), empty for pictures made in memory.
    const std::string& Format() const { return m_format; }

    // Image strips: `frameCount` frames of equal size side by side, frame 0 at the left. The
    // frame width is the integer quotient, so a remainder of columns at the right is never
    // shown. A zero frame count gives width 0 (never a division by zero).
    int FrameWidth(unsigned frameCount) const;
    // The source rectangle of frame `frame`; empty when the frame lies outside the strip.
    Rect FrameRect(unsigned frameCount, int frame) const;

    SkinStatus LastStatus() const { return m_lastStatus; }
    void SetLastStatus(SkinStatus status) const { m_lastStatus = status; }

private:
    std::shared_ptr<std::vector<std::uint32_t>> m_pixels;
    int m_nWidth = 0;
    int m_nHeight = 0;
    std::string m_format;
    mutable SkinStatus m_lastStatus = SkinStatus::Ok;
};

// ---- provided by the backend ----

// The bytes of resource `id`: for SkinResourceType::Png the PNG, else the JPEG data of that
// id; for SkinResourceType::Bitmap the BMP data. False when there is none.
bool ReadSkinResource(int id, SkinResourceType type, std::string& bytes);

// Decodes picture bytes of any supported format (decided by content, not by name); an empty
// picture with UnknownImageFormat when they do not decode.
SkinImage DecodeSkinImage(const std::string& bytes);

// ---- on top of those ----

// Decodes picture `id` from the compiled-in resources. Never fails its caller: a missing or
// undecodable resource gives an empty picture whose LastStatus() says why.
SkinImage LoadSkinImage(int id, SkinResourceType type = SkinResourceType::Png);

// Decodes a picture file (the downloaded verification picture). The path is the launcher's
// own narrow path, handed to the file system as it is. Missing or bad files give an empty picture.
SkinImage LoadSkinImageFromFile(const std::string& path);

}  // namespace nb
