#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <cstring>

#include "skin/SkinText.h"

#include "skin/qt/QtSkin.h"

namespace nb {

QImage QtImageView(const SkinImage& image) {
    if (image.IsEmpty()) return {};
    return QImage(reinterpret_cast<const uchar*>(image.Pixels()), image.Width(), image.Height(),
                  image.Width() * 4, QImage::Format_ARGB32_Premultiplied);
}

QImage QtImage(const SkinImage& image) {
    return QtImageView(image).copy();
}

SkinImage SkinImageFromQt(const QImage& image, std::string format) {
    if (image.isNull()) {
        SkinImage empty;
        empty.SetLastStatus(SkinStatus::InvalidParameter);
        return empty;
    }
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    std::vector<std::uint32_t> words(static_cast<size_t>(pixels.width()) * pixels.height());
    for (int y = 0; y < pixels.height(); ++y)
        std::memcpy(words.data() + static_cast<size_t>(y) * pixels.width(), pixels.constScanLine(y),
                    static_cast<size_t>(pixels.width()) * 4);
    return SkinImage(pixels.width(), pixels.height(), std::move(words), std::move(format));
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

bool ReadSkinResource(int id, SkinResourceType type, std::string& bytes) {
    const QString path = FindSkinResource(id, type);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) return false;
    const QByteArray data = file.readAll();
    bytes.assign(data.constData(), static_cast<size_t>(data.size()));
    return true;
}

SkinImage DecodeSkinImage(const std::string& bytes) {
    QBuffer buffer;
    buffer.setData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    buffer.open(QIODevice::ReadOnly);
    // Decide by content: two pictures keep JPEG data under the same naming as the PNG ones.
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    const QImage image = reader.read();
    if (image.isNull()) {
        SkinImage empty;
        empty.SetLastStatus(SkinStatus::UnknownImageFormat);
        return empty;
    }
    return SkinImageFromQt(image, format.toStdString());
}

QIcon LoadSkinIcon(int id) {
    for (const char* ext : {".ico", ".png"}) {
        const QString path = QStringLiteral(":/res/%1").arg(id) + QLatin1String(ext);
        if (QFile::exists(path)) return QIcon(path);
    }
    return {};
}

QFont SkinFont(int pixelSize) {
    QFont font(QString::fromStdU16String(kSkinFontFace));
    font.setPixelSize(pixelSize > 0 ? pixelSize : 1);
    font.setWeight(QFont::Normal);
    font.setStyle(QFont::StyleNormal);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

SkinKey SkinKeyFromQt(int key) {
    switch (key) {
        case Qt::Key_Escape:
            return SkinKey::Escape;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return SkinKey::Enter;
        case Qt::Key_Space:
            return SkinKey::Space;
        case Qt::Key_Tab:
            return SkinKey::Tab;
        default:
            return SkinKey::Other;
    }
}

}  // namespace nb
