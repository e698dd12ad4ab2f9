#include "skin/SkinImage.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <utility>

#include "platform/Files.h"

namespace nb {

SkinImage::SkinImage(const QImage& image, QByteArray format) : m_format(std::move(format)) {
    if (image.isNull()) {
        m_lastStatus = SkinStatus::InvalidParameter;
        return;
    }
    m_image = image.format() == QImage::Format_ARGB32_Premultiplied
                  ? image
                  : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

int SkinImage::FrameWidth(unsigned frameCount) const {
    if (frameCount == 0) return 0;
    return static_cast<int>(static_cast<unsigned>(Width()) / frameCount);
}

QRect SkinImage::FrameRect(unsigned frameCount, int frame) const {
    const int frameWidth = FrameWidth(frameCount);
    if (frame < 0 || static_cast<unsigned>(frame) >= frameCount || frameWidth == 0) return {};
    return QRect(frame * frameWidth, 0, frameWidth, Height());
}

QString FindSkinResource(int id, SkinResourceType type) {
    const QString base = QStringLiteral(":/res/%1").arg(id);
    if (type == SkinResourceType::Bitmap) {
        const QString bmp = base + QStringLiteral(".bmp");
        return QFile::exists(bmp) ? bmp : QString();
    }
    for (const char* ext : {".png", ".jpg"}) {
        const QString path = base + QLatin1String(ext);
        if (QFile::exists(path)) return path;
    }
    return {};
}

SkinImage DecodeSkinImage(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    // Decide by content: two pictures keep JPEG data under the same naming as the PNG ones.
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    QImage image = reader.read();
    if (image.isNull()) {
        SkinImage empty;
        empty.SetLastStatus(SkinStatus::UnknownImageFormat);
        return empty;
    }
    return SkinImage(image, format);
}

SkinImage LoadSkinImage(int id, SkinResourceType type) {
    const QString path = FindSkinResource(id, type);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        SkinImage empty;
        empty.SetLastStatus(SkinStatus::NotFound);
        return empty;
    }
    return DecodeSkinImage(file.readAll());
}

SkinImage LoadSkinImageFromFile(const std::string& path) {
    std::string bytes;
    if (path.empty() || !platform::ReadWholeFile(path, bytes)) {
        SkinImage empty;
        empty.SetLastStatus(SkinStatus::NotFound);
        return empty;
    }
    return DecodeSkinImage(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

QIcon LoadSkinIcon(int id) {
    for (const char* ext : {".ico", ".png"}) {
        const QString path = QStringLiteral(":/res/%1").arg(id) + QLatin1String(ext);
        if (QFile::exists(path)) return QIcon(path);
    }
    return {};
}

}  // namespace nb
