#pragma once
#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QRect>
#include <QString>
#include <string>

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

// One decoded picture, kept as premultiplied ARGB so that compositing never converts.
// A picture that failed to load is empty: its width and height read 0 and drawing it draws
// nothing. Cheap to copy (the pixels are shared).
class SkinImage {
public:
    SkinImage() = default;
    // Wraps a picture made in memory; a null image gives an empty SkinImage.
    explicit SkinImage(const QImage& image, QByteArray format = {});

    bool IsEmpty() const { return m_image.isNull(); }
    int Width() const { return m_image.width(); }
    int Height() const { return m_image.height(); }
    const QImage& Native() const { return m_image; }
    // The encoding the pixels came from ("png", "jpeg", "bmp"), empty for pictures made in memory.
    const QByteArray& Format() const { return m_format; }

    // Image strips: `frameCount` frames of equal size side by side, frame 0 at the left. The
    // frame width is the integer quotient, so a remainder of columns at the right is never
    // shown. A zero frame count gives width 0 (never a division by zero).
    int FrameWidth(unsigned frameCount) const;
    // The source rectangle of frame `frame`; empty when the frame lies outside the strip.
    QRect FrameRect(unsigned frameCount, int frame) const;

    SkinStatus LastStatus() const { return m_lastStatus; }
    void SetLastStatus(SkinStatus status) const { m_lastStatus = status; }

private:
    QImage m_image;
    QByteArray m_format;
    mutable SkinStatus m_lastStatus = SkinStatus::Ok;
};

// The resource file that holds picture `id`: ":/res/<id>.png", else ":/res/<id>.jpg" for
// SkinResourceType::Png; ":/res/<id>.bmp" for SkinResourceType::Bitmap. The content is
// decoded by what it is, not by the name. Empty when there is none.
QString FindSkinResource(int id, SkinResourceType type = SkinResourceType::Png);

// Decodes picture `id` from the compiled-in resources. Never fails its caller: a missing or
// undecodable resource gives an empty picture whose LastStatus() says why.
SkinImage LoadSkinImage(int id, SkinResourceType type = SkinResourceType::Png);

// Decodes a picture file (the downloaded verification picture). The path is the launcher's
// own narrow path, handed to the file system as it is. Missing or bad files give an empty picture.
SkinImage LoadSkinImageFromFile(const std::string& path);

// Decodes picture bytes of any supported format; empty picture when they do not decode.
SkinImage DecodeSkinImage(const QByteArray& bytes);

// The program icon: ":/res/<id>.ico", else ":/res/<id>.png"; a null icon when neither exists.
QIcon LoadSkinIcon(int id);

}  // namespace nb
