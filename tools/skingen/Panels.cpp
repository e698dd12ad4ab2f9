// Still pictures: dialog backgrounds, panels, labels, lamps, badges, the progress bar, the
// edit-field bitmap and the icon. Areas where the windows draw their own texts are left calm.
#include <QRadialGradient>

#include "Pictures.h"
#include "SkinArt.h"

namespace skingen {
namespace {

const QColor kLampColours[] = {QColor(60, 220, 110), QColor(255, 206, 60), QColor(255, 76, 76),
                               QColor(140, 146, 158)};

// A dark recessed field with a blue rim.
void DrawWell(QPainter& p, const QRectF& r, qreal radius) {
    p.save();
    p.setPen(QPen(QColor(60, 104, 180, 200), 1.0));
    p.setBrush(Vertical(r, QColor(3, 6, 18, 235), QColor(10, 20, 48, 235)));
    p.drawRoundedRect(r, radius, radius);
    p.setPen(QPen(QColor(0, 0, 0, 140), 1.0));
    p.drawLine(QPointF(r.left() + 2, r.top() + 1.5), QPointF(r.right() - 2, r.top() + 1.5));
    p.restore();
}

// A gold rule fading out at both ends.
void DrawRule(QPainter& p, qreal x1, qreal x2, qreal y, int alpha = 200) {
    QLinearGradient g(x1, 0, x2, 0);
    g.setColorAt(0.0, QColor(236, 196, 104, 0));
    g.setColorAt(0.15, QColor(236, 196, 104, alpha));
    g.setColorAt(0.85, QColor(236, 196, 104, alpha));
    g.setColorAt(1.0, QColor(236, 196, 104, 0));
    p.save();
    p.setPen(QPen(QBrush(g), 1.0));
    p.drawLine(QPointF(x1, y), QPointF(x2, y));
    p.restore();
}

void DrawTitle(QPainter& p, const QString& text, qreal left, qreal centerY, qreal size) {
    const QFont font = CjkFont(size, true);
    QPainterPath path = TextPath(text, font, QPointF(0, centerY));
    path.translate(left - path.boundingRect().left(), 0);
    p.save();
    p.strokePath(path, QPen(QColor(16, 8, 0, 200), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.fillPath(path, GoldGradient(path.boundingRect()));
    p.restore();
}

void DrawSmallGem(QPainter& p, const QPointF& c, qreal s) {
    QPainterPath gem;
    gem.moveTo(c + QPointF(0, -s));
    gem.lineTo(c + QPointF(s, 0));
    gem.lineTo(c + QPointF(0, s));
    gem.lineTo(c + QPointF(-s, 0));
    gem.closeSubpath();
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(GoldGradient(gem.boundingRect()));
    p.drawPath(gem);
    p.restore();
}

// A dialog background: glass panel, title at the top-left under a gold rule.
QImage MakeDialog(int width, int height, const QString& title, qreal ruleRight) {
    QImage image = NewImage(width, height);
    QPainter p;
    BeginPainter(p, image);
    const QRectF r(0, 0, width, height);
    DrawPanel(p, r, 10, 255);
    QLinearGradient header(0, 0, 0, 40);
    header.setColorAt(0, QColor(50, 80, 170, 110));
    header.setColorAt(1, QColor(50, 80, 170, 0));
    QPainterPath clip;
    clip.addRoundedRect(r.adjusted(2, 2, -2, -2), 9, 9);
    p.setClipPath(clip);
    p.fillRect(QRectF(0, 0, width, 40), header);
    p.setClipping(false);
    DrawSmallGem(p, QPointF(18, 20), 4);
    DrawTitle(p, title, 28, 20, 15);
    DrawRule(p, 10, ruleRight, 37.5);
    p.end();
    return image;
}

}  // namespace

void DrawLamp(QPainter& p, const QRectF& r, int state) {
    const QColor base = kLampColours[state];
    p.save();
    p.setPen(QPen(base.darker(260), 0.8));
    QRadialGradient g(r.center() + QPointF(-r.width() * 0.15, -r.height() * 0.2), r.width() * 0.6);
    g.setColorAt(0.0, base.lighter(170));
    g.setColorAt(0.5, base);
    g.setColorAt(1.0, base.darker(170));
    p.setBrush(g);
    p.drawEllipse(r);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawEllipse(QRectF(r.left() + r.width() * 0.25, r.top() + r.height() * 0.15, r.width() * 0.35,
                         r.height() * 0.28));
    p.restore();
}

QImage MakeCodeDialogBackground() {
    // "安全验证"
    QImage image =
        MakeDialog(373, 268, QString::fromUtf8("\xE5\xAE\x89\xE5\x85\xA8\xE9\xAA\x8C\xE8\xAF\x81"), 320);
    QPainter p;
    BeginPainter(p, image);
    DrawWell(p, QRectF(66.5, 116.5, 75, 35), 3);  // the verification picture, 68 x 28 at (70, 120)
    DrawRule(p, 16, 357, 180.5, 150);
    p.end();
    return image;
}

QImage MakeMessageBoxBackground() {
    // "提示"
    QImage image = MakeDialog(303, 176, QString::fromUtf8("\xE6\x8F\x90\xE7\xA4\xBA"), 293);
    QPainter p;
    BeginPainter(p, image);
    // A notice sign left of the 14-column text grid that starts at x 60.
    const QPointF c(33, 70);
    DrawOrb(p, c, 15, Look::Normal, QColor(34, 96, 210), 2.4);
    DrawOutlinedText(p, QStringLiteral("!"), SerifFont(20, true), c + QPointF(0, 1),
                     QBrush(palette::kGoldLight), QColor(0, 0, 0, 160), 1.2);
    p.end();
    return image;
}

QImage MakeProgressFill() {
    QImage image = NewImage(402, 10);
    QPainter p;
    BeginPainter(p, image);
    const QRectF r(0, 0, 402, 10);
    QLinearGradient g(0, 0, 0, 10);
    g.setColorAt(0.0, QColor(190, 240, 255));
    g.setColorAt(0.35, QColor(70, 180, 255));
    g.setColorAt(0.7, QColor(24, 110, 230));
    g.setColorAt(1.0, QColor(16, 70, 170));
    p.fillRect(r, g);
    QLinearGradient warm(0, 0, 402, 0);
    warm.setColorAt(0.0, QColor(255, 220, 140, 0));
    warm.setColorAt(1.0, QColor(255, 220, 140, 70));
    p.fillRect(r, warm);
    p.setPen(QPen(QColor(255, 255, 255, 40), 2));
    for (int x = -10; x < 410; x += 12) p.drawLine(x, 10, x + 8, 0);
    p.end();
    return image;
}

QImage MakeStateLamps() {
    return MakeStrip(48, 4, 12, 8,
                     [](QPainter& p, int frame) { DrawLamp(p, QRectF(0.6, 0.6, 10.8, 6.8), frame); });
}

QImage MakeLoginPanel() {
    QImage image = NewImage(286, 82);
    QPainter p;
    BeginPainter(p, image);
    DrawPanel(p, QRectF(0, 0, 286, 82), 8, 235);
    // The edit boxes are placed at (60, 11) and (60, 50), 194 x 23 each.
    DrawWell(p, QRectF(57.5, 8.5, 199, 28), 4);
    DrawWell(p, QRectF(57.5, 47.5, 199, 28), 4);
    // "账号", "密码"
    DrawTitle(p, QString::fromUtf8("\xE8\xB4\xA6\xE5\x8F\xB7"), 14, 22.5, 14);
    DrawTitle(p, QString::fromUtf8("\xE5\xAF\x86\xE7\xA0\x81"), 14, 61.5, 14);
    DrawSmallGem(p, QPointF(270, 22.5), 3);
    DrawSmallGem(p, QPointF(270, 61.5), 3);
    p.end();
    return image;
}

QImage MakeSelectionPanel() {
    QImage image = NewImage(294, 71);
    QPainter p;
    BeginPainter(p, image);
    DrawPanel(p, QRectF(0, 0, 294, 71), 8, 235);
    DrawSmallGem(p, QPointF(15, 16), 3.5);
    // "当前选择"
    DrawTitle(p, QString::fromUtf8("\xE5\xBD\x93\xE5\x89\x8D\xE9\x80\x89\xE6\x8B\xA9"), 25, 16, 14);
    DrawRule(p, 8, 286, 30.5);
    DrawWell(p, QRectF(8.5, 37.5, 277, 27), 4);  // the chosen server's label is drawn at (15, 45)
    p.end();
    return image;
}

QImage MakeZonePanel() {
    QImage image = NewImage(424, 295);
    QPainter p;
    BeginPainter(p, image);
    const QRectF r(0, 0, 424, 295);
    DrawPanel(p, r, 8, 225);
    // The tabs cover the left column (91 x 256); under them a darker sidebar with a gold edge.
    p.fillRect(QRectF(0, 0, 91, 256), QColor(6, 10, 30, 230));
    p.setPen(QPen(QColor(236, 196, 104, 150), 1.0));
    p.drawLine(QPointF(91.5, 4), QPointF(91.5, 256));
    // A faint dotted field behind the server grid (buttons at 111 + 102 c, 20 + 47 r).
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 160, 255, 26));
    for (int y = 12; y < 248; y += 10)
        for (int x = 104; x < 416; x += 10) p.drawEllipse(QPointF(x, y), 0.8, 0.8);
    // The recommended row along the bottom.
    QLinearGradient band(0, 256, 0, 295);
    band.setColorAt(0, QColor(236, 196, 104, 40));
    band.setColorAt(1, QColor(236, 196, 104, 6));
    QPainterPath clip;
    clip.addRoundedRect(r.adjusted(2, 2, -2, -2), 7, 7);
    p.setClipPath(clip);
    p.fillRect(QRectF(0, 256, 424, 39), band);
    p.setClipping(false);
    DrawRule(p, 0, 424, 256.5, 210);
    p.end();
    return image;
}

QImage MakeRecommendedLabel() {
    QImage image = NewImage(48, 24);
    QPainter p;
    BeginPainter(p, image);
    // "推荐:"
    const QString text = QString::fromUtf8("\xE6\x8E\xA8\xE8\x8D\x90:");
    const QPainterPath path = TextPath(text, CjkFont(15, true), QPointF(24, 12.5));
    DrawGlow(p, path, QColor(255, 190, 90, 120), 4);
    p.strokePath(path, QPen(QColor(20, 10, 0, 210), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.fillPath(path, GoldGradient(path.boundingRect()));
    p.end();
    return image;
}

QImage MakeStateLegend() {
    QImage image = NewImage(362, 16);
    QPainter p;
    BeginPainter(p, image);
    // "正常", "繁忙", "满员", "维护"
    const QString labels[] = {
        QString::fromUtf8("\xE6\xAD\xA3\xE5\xB8\xB8"), QString::fromUtf8("\xE7\xB9\x81\xE5\xBF\x99"),
        QString::fromUtf8("\xE6\xBB\xA1\xE5\x91\x98"), QString::fromUtf8("\xE7\xBB\xB4\xE6\x8A\xA4")};
    const QFont font = CjkFont(12);
    p.setFont(font);
    for (int i = 0; i < 4; ++i) {
        const qreal x = 12 + i * 88;
        DrawLamp(p, QRectF(x, 4, 12, 8), i);
        p.setPen(QColor(0, 0, 0, 160));
        p.drawText(QRectF(x + 18, 1, 60, 16), Qt::AlignLeft | Qt::AlignVCenter, labels[i]);
        p.setPen(QColor(186, 204, 238));
        p.drawText(QRectF(x + 17, 0, 60, 16), Qt::AlignLeft | Qt::AlignVCenter, labels[i]);
    }
    p.end();
    return image;
}

QImage MakeBadges() {
    // "新" on green for new servers, "荐" on purple for recommended ones.
    const QString glyphs[] = {QString::fromUtf8("\xE6\x96\xB0"), QString::fromUtf8("\xE8\x8D\x90")};
    const QColor colours[] = {QColor(40, 180, 80), QColor(150, 70, 210)};
    return MakeStrip(40, 2, 20, 20, [&](QPainter& p, int frame) {
        QPainterPath corner;
        corner.moveTo(0, 0);
        corner.lineTo(20, 0);
        corner.lineTo(0, 20);
        corner.closeSubpath();
        p.setPen(QPen(colours[frame].lighter(150), 0.8));
        p.setBrush(Vertical(QRectF(0, 0, 19, 19), colours[frame].lighter(125), colours[frame].darker(140)));
        p.drawPath(corner);
        QFont font = CjkFont(10, false);
        font.setHintingPreference(QFont::PreferFullHinting);
        p.setFont(font);
        p.setPen(QColor(255, 255, 255));
        p.drawText(QRectF(0, -0.5, 12, 12), Qt::AlignCenter, glyphs[frame]);
    });
}

QImage MakeProgressFrame() {
    QImage image = NewImage(415, 54);
    QPainter p;
    BeginPainter(p, image);
    // The fill is drawn at (6, 18), 402 x 10; the frame keeps clear of the buttons below it.
    const QRectF outer(1, 11, 413, 24);
    QPainterPath capsule;
    capsule.addRoundedRect(outer, 12, 12);
    DrawGlow(p, capsule.translated(0, 2), QColor(0, 0, 0, 170), 4);
    p.setPen(QPen(QBrush(GoldGradient(outer)), 1.8));
    p.setBrush(Vertical(outer, QColor(28, 42, 96), QColor(10, 16, 44)));
    p.drawPath(capsule);
    const QRectF groove(4.5, 16.5, 406, 13);
    p.setPen(QPen(QColor(60, 104, 180, 160), 1.0));
    p.setBrush(Vertical(groove, QColor(2, 4, 12), QColor(8, 14, 34)));
    p.drawRoundedRect(groove, 5, 5);
    DrawSmallGem(p, QPointF(207.5, 11), 3.5);
    DrawSmallGem(p, QPointF(207.5, 35), 3.5);
    p.end();
    return image;
}

QImage MakeEditFieldBitmap() {
    // Plain 24-bit pixels: the edit boxes tile it behind their text (white or bright blue).
    QImage image(228, 27, QImage::Format_RGB888);
    QPainter p(&image);
    p.fillRect(QRectF(0, 0, 228, 27), Vertical(QRectF(0, 0, 228, 27), QColor(6, 12, 32), QColor(16, 30, 68)));
    p.setPen(QColor(3, 6, 16));
    p.drawLine(0, 0, 227, 0);
    p.setPen(QColor(10, 20, 48));
    p.drawLine(0, 1, 227, 1);
    p.end();
    return image;
}

QImage MakeIcon() {
    QImage image = NewImage(64, 64);
    QPainter p;
    BeginPainter(p, image);
    DrawOrb(p, QPointF(32, 32), 30, Look::Normal, QColor(34, 96, 210), 4);
    const QPainterPath n = TextPath(QStringLiteral("N"), SerifFont(36, true), QPointF(32, 33));
    p.strokePath(n, QPen(QColor(20, 10, 0, 220), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.fillPath(n, GoldGradient(n.boundingRect()));
    p.end();
    return image;
}

}  // namespace skingen
