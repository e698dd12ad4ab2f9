// Mock-ups of the windows, composed from the pictures at the places the windows use, with
// sample texts in the windows' colours: for judging the skin as a whole, never shipped.
#include <QDir>
#include <QPainter>

#include "Pictures.h"
#include "SkinArt.h"

namespace skingen {
namespace {

struct Sheet {
    QImage image;
    QPainter painter;
    explicit Sheet(const QImage& background) : image(background) {
        painter.begin(&image);
        painter.setRenderHint(QPainter::TextAntialiasing);
    }
    void Frame(const QImage& strip, int frames, int frame, int x, int y) {
        const int w = strip.width() / frames;
        painter.drawImage(QPoint(x, y), strip, QRect(frame * w, 0, w, strip.height()));
    }
    void Text(const QString& text, int x, int y, int size, QRgb argb) {
        QFont font(QStringLiteral("Times New Roman"));
        font.setPixelSize(size);
        painter.setFont(font);
        painter.setPen(QColor::fromRgba(argb));
        painter.drawText(QPointF(x, y + QFontMetricsF(font).ascent()), text);
    }
};

const QString kZoneNames[] = {QString::fromUtf8("\xE7\x94\xB5\xE4\xBF\xA1\xE5\x8C\xBA"),
                              QString::fromUtf8("\xE7\xBD\x91\xE9\x80\x9A\xE5\x8C\xBA")};

QImage ServerPage() {
    Sheet s(MakeServerPageBackground());
    const QImage buttons = MakeServerButtons(), lamps = MakeStateLamps(), badges = MakeBadges();
    s.painter.drawImage(301, 119, MakeZonePanel());
    s.Frame(MakeMinimiseButton(), 3, 0, 790, 34);
    s.Frame(MakeStartOrb(), 3, 1, 800, 512);
    s.Frame(MakeCloseButton(), 3, 0, 820, 28);
    s.Frame(MakeZoneTab0(), 3, 0, 301, 247);
    s.Frame(MakeZoneTab1(), 3, 2, 301, 119);
    s.Frame(MakeHomePageBanner(), 3, 0, 388, 0);
    const int states[] = {0, 1, 2, 3, 0, 0, 1, 0, 2, 0, 0, 1, 0};
    const int tags[] = {1, 2, 0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 0};
    for (int i = 0; i < 13; ++i) {
        const int x = 412 + 102 * (i % 3), y = 139 + 47 * (i / 3);
        s.Frame(buttons, 6, i == 4 ? 2 + states[i] : 0, x, y);
    }
    for (int i = 0; i < 3; ++i) s.Frame(buttons, 6, i == 1 ? 3 : 0, 412 + 102 * i, 382);
    s.painter.drawImage(370, 475, MakeSelectionPanel());
    s.painter.drawImage(320, 382, MakeRecommendedLabel());
    s.painter.drawImage(302, 432, MakeStateLegend());
    for (int i = 0; i < 13; ++i) {
        s.Text(QString::fromUtf8("\xE9\xBE\x99\xE9\x97\xA8%1").arg(i + 1), 424 + 104 * (i % 3),
               146 + 47 * (i / 3), 14, 0xFDFDFDFD);
        s.Frame(lamps, 4, states[i], 480 + 105 * (i % 3), 149 + 47 * (i / 3));
        if (tags[i]) s.Frame(badges, 2, tags[i] - 1, 412 + 102 * (i % 3), 139 + 47 * (i / 3));
    }
    for (int i = 0; i < 3; ++i) {
        s.Text(QString::fromUtf8("\xE6\x98\x9F\xE8\xBE\xB0%1").arg(i + 1), 424 + 104 * i, 389, 14,
               0xFDFDFDFD);
        s.Frame(lamps, 4, i, 480 + 105 * i, 392);
        s.Frame(badges, 2, 1, 412 + 102 * i, 382);
    }
    s.Text(kZoneNames[1] + QStringLiteral("        ") +
               QString::fromUtf8("\xE9\xBE\x99\xE9\x97\xA8"
                                 "5"),
           385, 520, 14, 0xFDFDFDFD);
    s.Text(QString::fromUtf8("\xE7\x89\x88\xE6\x9C\xAC: ") + QStringLiteral("1043 1.0.43"), 785, 645, 14,
           0xFD507EA1);
    s.painter.fillRect(728, 85, 160, 389, QColor(230, 230, 230));  // the web picture panel
    return s.image;
}

QImage LoginPage() {
    Sheet s(MakeLoginPageBackground());
    s.painter.drawImage(370, 475, MakeLoginPanel());
    s.Frame(MakeMinimiseButton(), 3, 1, 790, 34);
    s.Frame(MakeCloseButton(), 3, 1, 820, 28);
    s.Frame(MakeChooseServerBanner(), 3, 0, 167, 510);
    s.Frame(MakeStartOrb(), 3, 0, 800, 512);
    s.Frame(MakeHomePageBanner(), 3, 1, 388, 0);
    s.painter.fillRect(728, 85, 160, 389, QColor(230, 230, 230));
    s.painter.fillRect(312, 125, 422, 353, QColor(240, 240, 240));  // the announcement panel
    const QImage field = MakeEditFieldBitmap();
    s.painter.drawImage(QPoint(430, 486), field, QRect(0, 0, 194, 23));
    s.painter.drawImage(QPoint(430, 525), field, QRect(0, 0, 194, 23));
    s.Text(QStringLiteral("player01"), 434, 489, 16, 0xFFFFFFFF);
    s.Text(QStringLiteral("\u25CF\u25CF\u25CF\u25CF\u25CF\u25CF"), 434, 528, 16, 0xFFFFFFFF);
    return s.image;
}

QImage UpdateWindow() {
    Sheet s(MakeServerPageBackground());
    s.Frame(MakeCloseButton(), 3, 0, 820, 28);
    s.Frame(MakeBlueBar(), 3, 0, 540, 552);
    s.Frame(MakeGoldTrimmedBar(), 3, 1, 410, 552);
    s.Frame(MakeHomePageBanner(), 3, 0, 388, 0);
    s.painter.fillRect(728, 85, 160, 389, QColor(230, 230, 230));
    s.painter.fillRect(312, 125, 422, 353, QColor(240, 240, 240));
    s.Text(QString::fromUtf8("\xE7\x89\x88\xE6\x9C\xAC: 1042 1.0.43"), 305, 478, 14, 0xFD507EA1);
    s.Text(QString::fromUtf8("\xE6\x80\xBB\xE5\xA4\xA7\xE5\xB0\x8F") + QStringLiteral("5120K,") +
               QString::fromUtf8("\xE5\xB7\xB2\xE4\xB8\x8B\xE8\xBD\xBD") + QStringLiteral("1024K"),
           305, 498, 14, 0xFD507EA1);
    s.painter.drawImage(310, 510, MakeProgressFrame());
    s.painter.drawImage(QRect(316, 528, 160, 10), MakeProgressFill());
    s.Frame(MakeUpdateOrb(), 3, 0, 800, 512);
    s.Text(QString::fromUtf8("\xE4\xB8\x8B\xE8\xBD\xBD\xE9\xA1\xB5"), 415, 560, 14, 0xFD507EA1);
    s.Text(QString::fromUtf8("\xE5\x8F\x96\xE6\xB6\x88"), 545, 560, 14, 0xFD507EA1);
    return s.image;
}

QImage MessageBox() {
    Sheet s(MakeMessageBoxBackground());
    s.Frame(MakeBlueBar(), 3, 0, 110, 122);
    const QString text = QString::fromUtf8(
        "\xE8\xAF\xB7\xE5\x85\x88\xE9\x80\x89\xE6\x8B\xA9\xE4\xB8\x80\xE4\xB8\xAA\xE6\x9C\x8D\xE5\x8A\xA1\xE5"
        "\x99\xA8"
        "\xE5\x86\x8D\xE5\xBC\x80\xE5\xA7\x8B\xE6\xB8\xB8\xE6\x88\x8F\xE3\x80\x82");
    for (int i = 0; i < text.size(); ++i)
        s.Text(text.mid(i, 1), 60 + (i % 14) * 16, 55 + (i / 14) * 15, 15, 0xFD029DFF);
    s.Text(QString::fromUtf8("\xE7\xA1\xAE\xE5\xAE\x9A"), 129, 128, 15, 0xFD029DFF);
    return s.image;
}

QImage CodeDialog() {
    Sheet s(MakeCodeDialogBackground());
    s.Frame(MakeBlueBar(), 3, 0, 80, 190);
    s.Frame(MakeBlueBar(), 3, 0, 227, 190);
    s.Frame(MakeCloseButton(), 3, 0, 322, 16);
    s.painter.fillRect(70, 120, 68, 28, QColor(220, 200, 160));
    s.Text(QString::fromUtf8("\xE8\xAF\xB7\xE8\xBE\x93\xE5\x85\xA5\xE5\x9B\xBE\xE4\xB8\xAD\xE7\x9A\x84\xE9"
                             "\xAA\x8C\xE8\xAF\x81\xE7\xA0\x81"),
           50, 65, 15, 0xC8029DFF);
    s.Text(QString::fromUtf8("\xE7\x99\xBB\xE5\xBD\x95"), 100, 196, 15, 0xC8029DFF);
    s.Text(QString::fromUtf8("\xE5\x8F\x96\xE6\xB6\x88"), 247, 196, 15, 0xC8029DFF);
    s.Text(QString::fromUtf8("\xE7\x9C\x8B\xE4\xB8\x8D\xE6\xB8\x85?"), 62, 155, 12, 0xC8029DFF);
    s.Text(QString::fromUtf8("\xE6\x8D\xA2\xE4\xB8\x80\xE5\xBC\xA0"), 235, 155, 12, 0xC8029DFF);
    return s.image;
}

}  // namespace

bool WriteMockups(const QString& folder) {
    QDir().mkpath(folder);
    const QDir dir(folder);
    bool ok = ServerPage().save(dir.filePath(QStringLiteral("server-page.png")));
    ok = LoginPage().save(dir.filePath(QStringLiteral("login-page.png"))) && ok;
    ok = UpdateWindow().save(dir.filePath(QStringLiteral("update-window.png"))) && ok;
    ok = MessageBox().save(dir.filePath(QStringLiteral("message-box.png"))) && ok;
    ok = CodeDialog().save(dir.filePath(QStringLiteral("code-dialog.png"))) && ok;
    return ok;
}

}  // namespace skingen
