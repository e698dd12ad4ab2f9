// The clickable pictures: each a strip whose frames show normal, mouse over and pressed
// (the server buttons: unselected, hover, and the selected look of each server state).
#include <QRadialGradient>

#include "Pictures.h"
#include "SkinArt.h"

namespace skingen {
namespace {

Look LookOf(int frame) {
    return static_cast<Look>(frame);
}

// A round button with a gold ring and words on its glass, the words in one or two rows.
QImage MakeWordOrb(const QStringList& rows, qreal fontSize, const QColor& inner) {
    return MakeStrip(324, 3, 108, 108, [&](QPainter& p, int frame) {
        const Look look = LookOf(frame);
        const QPointF center(54, 54);
        DrawOrb(p, center, 46, look, inner, 6);
        const QPointF shift = look == Look::Pressed ? QPointF(0, 1) : QPointF(0, 0);
        const QFont font = CjkFont(fontSize, true);
        const qreal step = fontSize * 1.12;
        const qreal first = center.y() - step * (rows.size() - 1) / 2.0;
        for (int i = 0; i < rows.size(); ++i) {
            const QPointF at = QPointF(center.x(), first + step * i) + shift;
            const QPainterPath path = TextPath(rows[i], font, at);
            DrawGlow(p, path, QColor(0, 8, 30, 220), 6);
            QLinearGradient fill = GoldGradient(path.boundingRect());
            if (look == Look::Hover) {
                fill.setColorAt(0.0, QColor(255, 255, 240));
                fill.setColorAt(0.35, palette::kGoldLight);
                fill.setColorAt(0.55, palette::kGold);
                fill.setColorAt(1.0, palette::kGoldLight);
            }
            p.strokePath(path, QPen(QColor(26, 14, 0, 230), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.fillPath(path, fill);
        }
    });
}

// A small round sign (minimise, close) with a white symbol drawn by `symbol`.
QImage MakeSignButton(int stripWidth, int size, int height, qreal radius, const QColor& inner,
                      const QColor& hoverInner, const std::function<void(QPainter&, QPointF)>& symbol) {
    return MakeStrip(stripWidth, 3, size, height, [&](QPainter& p, int frame) {
        const Look look = LookOf(frame);
        const QPointF center(size / 2.0, height / 2.0);
        DrawOrb(p, center, radius, look, look == Look::Hover ? hoverInner : inner, 2.6);
        p.save();
        const QPointF at = look == Look::Pressed ? center + QPointF(0, 1) : center;
        p.setPen(QPen(QColor(0, 0, 0, 120), 4.2, Qt::SolidLine, Qt::RoundCap));
        symbol(p, at + QPointF(0, 0.8));
        p.setPen(QPen(look == Look::Pressed ? QColor(200, 210, 230) : QColor(255, 255, 255), 2.4,
                      Qt::SolidLine, Qt::RoundCap));
        symbol(p, at);
        p.restore();
    });
}

// Colours of a plain bar by look: fill top, fill bottom, border.
struct BarColours {
    QColor top, bottom, border;
};

QImage MakeBar(const QColor& trim) {
    const BarColours looks[] = {
        {QColor(28, 56, 118), QColor(11, 24, 60), trim},
        {QColor(42, 86, 164), QColor(18, 40, 96), trim.lighter(140)},
        {QColor(8, 16, 42), QColor(20, 40, 88), trim.darker(140)},
    };
    return MakeStrip(228, 3, 76, 26, [&](QPainter& p, int frame) {
        const BarColours& c = looks[frame];
        const QRectF r(0.5, 0.5, 75, 25);
        p.setPen(QPen(c.border, 1.0));
        p.setBrush(Vertical(r, c.top, c.bottom));
        p.drawRoundedRect(r, 4, 4);
        if (frame != 2) {
            p.setPen(QPen(QColor(255, 255, 255, frame == 1 ? 70 : 45), 1.0));
            p.drawLine(QPointF(4, 2), QPointF(72, 2));
        } else {
            p.setPen(QPen(QColor(0, 0, 0, 110), 1.5));
            p.drawLine(QPointF(3, 2.2), QPointF(73, 2.2));
        }
        if (frame == 1) {
            QRadialGradient shine(QPointF(38, 26), 40, QPointF(38, 26));
            shine.setColorAt(0.0, QColor(120, 200, 255, 70));
            shine.setColorAt(1.0, QColor(120, 200, 255, 0));
            p.setPen(Qt::NoPen);
            p.setBrush(shine);
            p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 3, 3);
        }
    });
}

// The outline of a plaque with pointed ends.
QPainterPath Plaque(const QRectF& r, qreal point) {
    QPainterPath path;
    path.moveTo(r.left(), r.center().y());
    path.lineTo(r.left() + point, r.top());
    path.lineTo(r.right() - point, r.top());
    path.lineTo(r.right(), r.center().y());
    path.lineTo(r.right() - point, r.bottom());
    path.lineTo(r.left() + point, r.bottom());
    path.closeSubpath();
    return path;
}

void DrawGem(QPainter& p, const QPointF& c, qreal s, const QColor& color) {
    QPainterPath gem;
    gem.moveTo(c + QPointF(0, -s));
    gem.lineTo(c + QPointF(s, 0));
    gem.lineTo(c + QPointF(0, s));
    gem.lineTo(c + QPointF(-s, 0));
    gem.closeSubpath();
    p.save();
    p.setPen(QPen(QColor(40, 20, 0, 200), 0.8));
    p.setBrush(color);
    p.drawPath(gem);
    p.restore();
}

// Fill colours of the banner plaques by look.
void PlaqueFill(Look look, QColor& top, QColor& bottom) {
    switch (look) {
        case Look::Normal:
            top = QColor(36, 58, 136);
            bottom = QColor(12, 20, 60);
            break;
        case Look::Hover:
            top = QColor(58, 96, 196);
            bottom = QColor(20, 36, 100);
            break;
        case Look::Pressed:
            top = QColor(10, 18, 52);
            bottom = QColor(26, 44, 110);
            break;
    }
}

void DrawBannerText(QPainter& p, const QString& text, const QFont& font, const QPointF& at, Look look) {
    const QPainterPath path = TextPath(text, font, at);
    DrawGlow(p, path, look == Look::Hover ? QColor(255, 210, 120, 150) : QColor(0, 0, 20, 200), 5);
    p.strokePath(path, QPen(QColor(24, 12, 0, 220), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QLinearGradient fill = GoldGradient(path.boundingRect());
    if (look == Look::Hover) fill.setColorAt(0.55, palette::kGoldLight);
    p.fillPath(path, fill);
}

// Big-zone tab: opaque (the picture is kept as JPEG data), fits the zone panel's left column.
QImage MakeZoneTab(const QString& glyph, const QString& label) {
    QImage strip = MakeStrip(273, 3, 91, 128, [&](QPainter& p, int frame) {
        const QRectF r(0, 0, 91, 128);
        QColor top, bottom, text;
        switch (frame) {
            case 0:
                top = QColor(16, 26, 68);
                bottom = QColor(9, 15, 42);
                text = QColor(168, 188, 228);
                break;
            case 1:
                top = QColor(30, 52, 120);
                bottom = QColor(14, 26, 70);
                text = QColor(255, 255, 255);
                break;
            default:
                top = QColor(44, 90, 186);
                bottom = QColor(16, 36, 92);
                text = palette::kGoldLight;
                break;
        }
        p.fillRect(r, Vertical(r, top, bottom));
        // Texture: faint horizontal lines.
        p.setPen(QPen(QColor(255, 255, 255, 8), 1));
        for (int y = 2; y < 128; y += 3) p.drawLine(0, y, 91, y);
        // Separators to the neighbours.
        p.setPen(QPen(QColor(0, 0, 0, 200), 1));
        p.drawLine(QPointF(0, 127.5), QPointF(91, 127.5));
        p.setPen(QPen(QColor(120, 160, 240, 60), 1));
        p.drawLine(QPointF(0, 0.5), QPointF(91, 0.5));
        if (frame == 2) {
            p.fillRect(QRectF(0, 0, 4, 128), GoldGradient(r));
            QRadialGradient glow(QPointF(45, 50), 60);
            glow.setColorAt(0, QColor(120, 200, 255, 70));
            glow.setColorAt(1, QColor(120, 200, 255, 0));
            p.fillRect(r, glow);
        } else {
            p.setPen(QPen(QColor(236, 196, 104, 120), 1));
            p.drawLine(QPointF(90.5, 0), QPointF(90.5, 128));
        }
        // Medallion with the zone's first character.
        const QPointF c(45.5, 48);
        DrawOrb(p, c, 25, frame == 1 ? Look::Hover : Look::Normal,
                frame == 2 ? QColor(40, 110, 220) : QColor(30, 64, 150), 3);
        DrawOutlinedText(p, glyph, CjkFont(22, true), c,
                         QBrush(frame == 0 ? palette::kText : palette::kGoldLight), QColor(0, 10, 40, 220),
                         1.6);
        DrawOutlinedText(p, label, CjkFont(16, true), QPointF(45.5, 98), QBrush(text), QColor(0, 6, 24, 200),
                         1.4);
    });
    return strip;
}

}  // namespace

QImage MakeStartOrb() {
    // "开始" / "游戏"
    return MakeWordOrb(
        {QString::fromUtf8("\xE5\xBC\x80\xE5\xA7\x8B"), QString::fromUtf8("\xE6\xB8\xB8\xE6\x88\x8F")}, 22,
        QColor(34, 96, 210));
}

QImage MakeUpdateOrb() {
    // "更新"
    return MakeWordOrb({QString::fromUtf8("\xE6\x9B\xB4\xE6\x96\xB0")}, 28, QColor(24, 140, 190));
}

QImage MakeMinimiseButton() {
    return MakeSignButton(
        127, 42, 39, 15, QColor(34, 80, 170), QColor(50, 120, 230),
        [](QPainter& p, QPointF c) { p.drawLine(c + QPointF(-5.5, 0), c + QPointF(5.5, 0)); });
}

QImage MakeCloseButton() {
    return MakeSignButton(184, 61, 61, 19, QColor(34, 80, 170), QColor(200, 56, 64),
                          [](QPainter& p, QPointF c) {
                              p.drawLine(c + QPointF(-6, -6), c + QPointF(6, 6));
                              p.drawLine(c + QPointF(-6, 6), c + QPointF(6, -6));
                          });
}

QImage MakeChooseServerBanner() {
    return MakeStrip(525, 3, 175, 62, [](QPainter& p, int frame) {
        const Look look = LookOf(frame);
        const QPointF shift = look == Look::Pressed ? QPointF(0, 1) : QPointF(0, 0);
        const QPainterPath plaque = Plaque(QRectF(7, 11, 161, 40).translated(shift), 16);
        if (look == Look::Hover)
            DrawGlow(p, plaque, QColor(120, 200, 255, 190), 8);
        else
            DrawGlow(p, plaque.translated(0, 2), QColor(0, 0, 0, 170), 5);
        QColor top, bottom;
        PlaqueFill(look, top, bottom);
        p.setPen(QPen(QBrush(GoldGradient(plaque.boundingRect())), 2.0));
        p.setBrush(Vertical(plaque.boundingRect(), top, bottom));
        p.drawPath(plaque);
        p.setPen(QPen(QColor(150, 190, 255, 70), 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawPath(Plaque(QRectF(12, 15, 151, 32).translated(shift), 13));
        DrawGem(p, QPointF(20, 31) + shift, 3.2, palette::kGoldLight);
        DrawGem(p, QPointF(155, 31) + shift, 3.2, palette::kGoldLight);
        // "选择服务器"
        DrawBannerText(p, QString::fromUtf8("\xE9\x80\x89\xE6\x8B\xA9\xE6\x9C\x8D\xE5\x8A\xA1\xE5\x99\xA8"),
                       CjkFont(19, true), QPointF(87.5, 31) + shift, look);
    });
}

QImage MakeHomePageBanner() {
    return MakeStrip(753, 3, 251, 110, [](QPainter& p, int frame) {
        const Look look = LookOf(frame);
        const qreal sink = look == Look::Pressed ? 2 : 0;
        // A pennant hanging from the window's top edge.
        QPainterPath pennant;
        pennant.moveTo(24, 0);
        pennant.lineTo(227, 0);
        pennant.lineTo(227, 70 + sink);
        pennant.lineTo(125.5, 96 + sink);
        pennant.lineTo(24, 70 + sink);
        pennant.closeSubpath();
        if (look == Look::Hover)
            DrawGlow(p, pennant, QColor(120, 200, 255, 170), 10);
        else
            DrawGlow(p, pennant.translated(0, 3), QColor(0, 0, 0, 190), 6);
        QColor top, bottom;
        PlaqueFill(look, top, bottom);
        p.setPen(Qt::NoPen);
        p.setBrush(Vertical(pennant.boundingRect(), bottom, top));
        p.drawPath(pennant);
        // Texture and trims.
        p.save();
        p.setClipPath(pennant);
        p.setPen(QPen(QColor(255, 255, 255, 10), 1));
        for (int x = -100; x < 260; x += 5) p.drawLine(x, 110, x + 110, 0);
        p.restore();
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QBrush(GoldGradient(pennant.boundingRect())), 2.4));
        p.drawPath(pennant);
        QPainterPath inner;
        inner.moveTo(31, 0);
        inner.lineTo(31, 65 + sink);
        inner.lineTo(125.5, 89 + sink);
        inner.lineTo(220, 65 + sink);
        inner.lineTo(220, 0);
        p.setPen(QPen(QColor(236, 196, 104, 110), 1.0));
        p.drawPath(inner);
        // The rod it hangs from.
        p.setPen(Qt::NoPen);
        p.setBrush(GoldGradient(QRectF(14, 0, 223, 7)));
        p.drawRoundedRect(QRectF(14, 0, 223, 7), 3, 3);
        DrawGem(p, QPointF(125.5, 79 + sink), 4.5, QColor(120, 200, 255));
        // "官方网站"
        DrawBannerText(p, QString::fromUtf8("\xE5\xAE\x98\xE6\x96\xB9\xE7\xBD\x91\xE7\xAB\x99"),
                       CjkFont(27, true), QPointF(125.5, 36 + sink), look);
        QFont small = SerifFont(9, true);
        small.setLetterSpacing(QFont::AbsoluteSpacing, 3);
        DrawOutlinedText(p, QStringLiteral("OFFICIAL SITE"), small, QPointF(125.5, 60 + sink),
                         QBrush(QColor(200, 214, 255, 220)), QColor(0, 0, 0, 0), 0);
    });
}

QImage MakeServerButtons() {
    struct Colours {
        QColor top, bottom, border;
    };
    const Colours frames[] = {
        {QColor(32, 62, 132), QColor(13, 28, 72), QColor(70, 118, 210)},     // unselected, dark blue
        {QColor(70, 140, 232), QColor(30, 84, 172), QColor(150, 205, 255)},  // hover, light blue
        {QColor(44, 160, 86), QColor(16, 92, 44), QColor(120, 224, 150)},    // selected, normal: green
        {QColor(206, 156, 34), QColor(138, 92, 10), QColor(255, 222, 120)},  // selected, busy: yellow
        {QColor(196, 58, 58), QColor(118, 22, 28), QColor(255, 136, 136)},   // selected, full: red
        {QColor(110, 116, 130), QColor(58, 62, 74), QColor(170, 176, 190)},  // selected, maintenance: grey
    };
    return MakeStrip(546, 6, 91, 27, [&](QPainter& p, int frame) {
        const Colours& c = frames[frame];
        const QRectF r(0.5, 0.5, 90, 26);
        p.setPen(QPen(c.border, 1.0));
        p.setBrush(Vertical(r, c.top, c.bottom));
        p.drawRoundedRect(r, 4, 4);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 34));
        p.drawRoundedRect(QRectF(2, 2, 87, 10), 3, 3);
        p.setPen(QPen(QColor(0, 0, 0, 70), 1.0));
        p.drawLine(QPointF(3, 25), QPointF(88, 25));
    });
}

QImage MakeBlueBar() {
    return MakeBar(QColor(70, 136, 226));
}

QImage MakeGoldTrimmedBar() {
    return MakeBar(palette::kGold);
}

// "电" / "电信区"
QImage MakeZoneTab0() {
    return MakeZoneTab(QString::fromUtf8("\xE7\x94\xB5"),
                       QString::fromUtf8("\xE7\x94\xB5\xE4\xBF\xA1\xE5\x8C\xBA"));
}

// "网" / "网通区"
QImage MakeZoneTab1() {
    return MakeZoneTab(QString::fromUtf8("\xE7\xBD\x91"),
                       QString::fromUtf8("\xE7\xBD\x91\xE9\x80\x9A\xE5\x8C\xBA"));
}

QImage MakeRepairButton() {
    // "修复客户端": a small bar of the blue family, quiet beside the version line; its words
    // take the gold of the banners when the mouse is over it.
    constexpr int kWidth = 96, kHeight = 24;
    const BarColours looks[] = {
        {QColor(22, 44, 98), QColor(9, 19, 50), QColor(150, 120, 60)},
        {QColor(42, 86, 164), QColor(18, 40, 96), palette::kGold},
        {QColor(8, 16, 42), QColor(20, 40, 88), palette::kGoldDark},
    };
    return MakeStrip(3 * kWidth, 3, kWidth, kHeight, [&](QPainter& p, int frame) {
        const BarColours& c = looks[frame];
        const QRectF r(0.5, 0.5, kWidth - 1, kHeight - 1);
        p.setPen(QPen(c.border, 1.0));
        p.setBrush(Vertical(r, c.top, c.bottom));
        p.drawRoundedRect(r, 4, 4);
        p.setPen(QPen(QColor(255, 255, 255, frame == 2 ? 0 : 40), 1.0));
        p.drawLine(QPointF(4, 2), QPointF(kWidth - 4, 2));
        const QPointF at(kWidth / 2.0, kHeight / 2.0 + (frame == 2 ? 1 : 0));
        const QBrush fill = frame == 1 ? QBrush(GoldGradient(r)) : QBrush(palette::kTextMuted);
        const QString words = QString::fromUtf8("\xE4\xBF\xAE\xE5\xA4\x8D\xE5\xAE\xA2\xE6\x88\xB7\xE7\xAB\xAF");
        DrawOutlinedText(p, words, CjkFont(13, true), at, fill, QColor(0, 6, 24, 200), 1.2);
    });
}

}  // namespace skingen
