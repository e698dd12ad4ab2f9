// nb-skingen: draws every picture of the launcher's skin into a folder (the repository's res/),
// and optionally a contact sheet of all of them to look at.
//
//   nb-skingen <output folder> [--sheet <file.png>] [--mockups <folder>]
#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <cstdio>
#include <cstring>

#include "Pictures.h"
#include "SkinArt.h"

namespace skingen {

const std::vector<Picture>& AllPictures() {
    static const std::vector<Picture> pictures = {
        {129, FileKind::Png, MakeServerPageBackground},
        {130, FileKind::Png, MakeLoginPageBackground},
        {132, FileKind::Png, MakeMinimiseButton},
        {133, FileKind::Png, MakeStartOrb},
        {134, FileKind::Png, MakeCloseButton},
        {135, FileKind::Png, MakeStartOrb},
        {136, FileKind::Png, MakeChooseServerBanner},
        {138, FileKind::Png, MakeServerButtons},
        {149, FileKind::Png, MakeCodeDialogBackground},
        {150, FileKind::Png, MakeMessageBoxBackground},
        {151, FileKind::Png, MakeBlueBar},
        {152, FileKind::Png, MakeBlueBar},
        {153, FileKind::Png, MakeGoldTrimmedBar},
        {156, FileKind::Png, MakeProgressFill},
        {163, FileKind::Png, MakeStateLamps},
        {173, FileKind::Png, MakeLoginPanel},
        {174, FileKind::Png, MakeSelectionPanel},
        {175, FileKind::Jpeg, MakeZoneTab0},
        {176, FileKind::Jpeg, MakeZoneTab1},
        {177, FileKind::Png, MakeZonePanel},
        {178, FileKind::Png, MakeRecommendedLabel},
        {179, FileKind::Png, MakeStateLegend},
        {182, FileKind::Png, MakeBadges},
        {184, FileKind::Png, MakeProgressFrame},
        {185, FileKind::Png, MakeUpdateOrb},
        {186, FileKind::Png, MakeHomePageBanner},
        {187, FileKind::Png, MakeRepairButton},
        {162, FileKind::Bmp24, MakeEditFieldBitmap},
        {128, FileKind::Png, MakeIcon},
        {128, FileKind::Ico, MakeIcon},
    };
    return pictures;
}

namespace {

const char* Extension(FileKind kind) {
    switch (kind) {
        case FileKind::Png:
            return "png";
        case FileKind::Jpeg:
            return "jpg";
        case FileKind::Bmp24:
            return "bmp";
        case FileKind::Ico:
            return "ico";
    }
    return "png";
}

bool Write(const QImage& image, FileKind kind, const QString& path) {
    QImageWriter writer(path, Extension(kind));
    switch (kind) {
        case FileKind::Jpeg:
            writer.setQuality(94);
            return writer.write(image.convertToFormat(QImage::Format_RGB32));
        case FileKind::Bmp24:
            return writer.write(image.convertToFormat(QImage::Format_RGB888));
        case FileKind::Ico:
            return writer.write(image.convertToFormat(QImage::Format_ARGB32));
        case FileKind::Png:
            break;
    }
    return writer.write(image.convertToFormat(QImage::Format_ARGB32));
}

// All pictures on one checkered sheet, the backgrounds at half size, each with its id.
QImage ContactSheet(const std::vector<std::pair<int, QImage>>& images) {
    const int width = 1120;
    QImage sheet(width, 2400, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&sheet);
    for (int y = 0; y < sheet.height(); y += 8)
        for (int x = 0; x < width; x += 8)
            p.fillRect(x, y, 8, 8, ((x + y) / 8) % 2 ? QColor(200, 200, 200) : QColor(235, 235, 235));
    int x = 10, y = 10, rowHeight = 0;
    p.setFont(QFont(QStringLiteral("Liberation Sans"), 9));
    for (const auto& [id, full] : images) {
        const bool large = full.width() > 600;
        const QImage image =
            large ? full.scaled(full.size() / 2, Qt::KeepAspectRatio, Qt::SmoothTransformation) : full;
        if (x + image.width() > width - 10) {
            x = 10;
            y += rowHeight + 24;
            rowHeight = 0;
        }
        p.drawImage(x, y + 14, image);
        p.setPen(Qt::black);
        p.drawText(x, y + 10, QStringLiteral("%1  %2x%3").arg(id).arg(full.width()).arg(full.height()));
        x += std::max(image.width(), 70) + 14;
        rowHeight = std::max(rowHeight, image.height() + 14);
    }
    p.end();
    return sheet.copy(0, 0, width, std::min(sheet.height(), y + rowHeight + 20));
}

}  // namespace
}  // namespace skingen

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output folder> [--sheet <file.png>] [--mockups <folder>]\n",
                     argv[0]);
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    QString sheetPath, mockupDir;
    for (int i = 2; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--sheet") == 0) sheetPath = QString::fromLocal8Bit(argv[i + 1]);
        if (std::strcmp(argv[i], "--mockups") == 0) mockupDir = QString::fromLocal8Bit(argv[i + 1]);
    }
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    std::vector<std::pair<int, QImage>> made;
    int failures = 0;
    for (const skingen::Picture& picture : skingen::AllPictures()) {
        const QImage image = picture.make();
        const QString path = QDir(outDir).filePath(
            QStringLiteral("%1.%2").arg(picture.id).arg(skingen::Extension(picture.kind)));
        if (!skingen::Write(image, picture.kind, path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++failures;
            continue;
        }
        std::printf("%s %dx%d\n", qPrintable(path), image.width(), image.height());
        if (picture.kind != skingen::FileKind::Ico) made.emplace_back(picture.id, image);
    }
    if (!sheetPath.isEmpty() && !skingen::ContactSheet(made).save(sheetPath)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(sheetPath));
        ++failures;
    }
    if (!mockupDir.isEmpty() && !skingen::WriteMockups(mockupDir)) {
        std::fprintf(stderr, "cannot write the mock-ups to %s\n", qPrintable(mockupDir));
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
