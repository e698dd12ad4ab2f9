// The two 1000 x 692 window backgrounds: a night landscape with a castle under the moon,
// framed in gold, with rounded transparent corners. The middle and the right are kept calm
// for the panels and web views the windows lay over them.
#include <QRadialGradient>
#include <cmath>
#include <random>
#include <vector>

#include "Pictures.h"
#include "SkinArt.h"

namespace skingen {
namespace {

constexpr int kWidth = 1000;
constexpr int kHeight = 692;
constexpr qreal kCornerRadius = 20;

struct Scene {
    QColor skyTop, skyMiddle, skyBottom;
    QColor auroraA, auroraB;
    QPointF moon;
    unsigned seed;
    bool announcementFrame;
};

// A mountain ridge by midpoint displacement, closed down to the bottom edge.
QPainterPath Ridge(qreal baseline, qreal amplitude, qreal roughness, unsigned seed, int levels = 8) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<qreal> unit(-1.0, 1.0);
    const int n = 1 << levels;
    std::vector<qreal> h(static_cast<size_t>(n + 1), 0.0);
    h[0] = unit(random) * amplitude * 0.5;
    h[static_cast<size_t>(n)] = unit(random) * amplitude * 0.5;
    qreal scale = amplitude;
    for (int step = n; step > 1; step /= 2) {
        for (int i = 0; i < n; i += step) {
            const size_t mid = static_cast<size_t>(i + step / 2);
            h[mid] =
                (h[static_cast<size_t>(i)] + h[static_cast<size_t>(i + step)]) / 2 + unit(random) * scale;
        }
        scale *= roughness;
    }
    QPainterPath path;
    path.moveTo(-10, kHeight + 10);
    for (int i = 0; i <= n; ++i)
        path.lineTo(-10 + (kWidth + 20) * i / qreal(n), baseline - std::abs(h[static_cast<size_t>(i)]));
    path.lineTo(kWidth + 10, kHeight + 10);
    path.closeSubpath();
    return path;
}

void DrawRidge(QPainter& painter, const QPainterPath& ridge, const QColor& top, const QColor& bottom,
               const QColor& rim) {
    const QRectF box = ridge.boundingRect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Vertical(box, top, bottom));
    painter.drawPath(ridge);
    // Moonlight catches the crest.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(rim, 1.2));
    painter.drawPath(ridge);
}

// A castle silhouette standing on `base` (the middle of its foot), lit windows in gold.
void DrawCastle(QPainter& painter, const QPointF& base, qreal s, const QColor& body, unsigned seed) {
    painter.save();
    painter.translate(base);
    painter.scale(s, s);
    QPainterPath castle;
    auto tower = [&](qreal x, qreal w, qreal h, qreal roof) {
        castle.addRect(x, -h, w, h);
        QPainterPath cone;
        cone.moveTo(x - 3, -h);
        cone.lineTo(x + w / 2, -h - roof);
        cone.lineTo(x + w + 3, -h);
        cone.closeSubpath();
        castle.addPath(cone);
        castle.addRect(x + w / 2 - 0.6, -h - roof - 9, 1.2, 9);  // flag pole
    };
    castle.addRect(-70, -40, 140, 40);  // curtain wall
    for (qreal x = -70; x < 70; x += 8) castle.addRect(x, -45, 5, 5);
    tower(-82, 20, 70, 30);
    tower(62, 20, 66, 28);
    tower(-40, 22, 98, 40);
    tower(16, 26, 118, 48);
    tower(-10, 18, 84, 30);
    castle.setFillRule(Qt::WindingFill);
    painter.setPen(Qt::NoPen);
    painter.setBrush(body);
    painter.drawPath(castle.simplified());
    // Small flags.
    painter.setBrush(QColor(190, 60, 60, 200));
    for (const QPointF& top : {QPointF(29, -175), QPointF(-29, -147)}) {
        QPainterPath flag;
        flag.moveTo(top);
        flag.lineTo(top + QPointF(10, 3));
        flag.lineTo(top + QPointF(0, 6));
        flag.closeSubpath();
        painter.drawPath(flag);
    }
    // Windows: a warm glow, then the panes.
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> pick(0, 99);
    const QRectF windows[] = {{20, -100, 4, 7}, {32, -100, 4, 7}, {20, -80, 4, 7},  {-34, -80, 4, 7},
                              {-24, -80, 4, 7}, {-34, -60, 4, 7}, {-76, -52, 3, 6}, {68, -50, 3, 6},
                              {-6, -66, 3, 6},  {4, -66, 3, 6},   {-50, -26, 4, 6}, {40, -26, 4, 6},
                              {-2, -22, 5, 10}};
    for (const QRectF& w : windows) {
        if (pick(random) < 20) continue;
        QRadialGradient glow(w.center(), 9);
        glow.setColorAt(0, QColor(255, 190, 90, 110));
        glow.setColorAt(1, QColor(255, 190, 90, 0));
        painter.setBrush(glow);
        painter.drawEllipse(w.center(), 9, 9);
        painter.setBrush(QColor(255, 214, 130));
        painter.drawRoundedRect(w, 1.2, 1.2);
    }
    painter.restore();
}

void DrawMoon(QPainter& painter, const QPointF& c, qreal r) {
    QRadialGradient halo(c, r * 4.2);
    halo.setColorAt(0.0, QColor(255, 236, 190, 90));
    halo.setColorAt(0.25, QColor(200, 210, 255, 40));
    halo.setColorAt(1.0, QColor(120, 150, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(halo);
    painter.drawEllipse(c, r * 4.2, r * 4.2);
    QRadialGradient disc(c + QPointF(-r * 0.3, -r * 0.3), r * 1.3);
    disc.setColorAt(0.0, QColor(255, 250, 232));
    disc.setColorAt(0.7, QColor(246, 226, 178));
    disc.setColorAt(1.0, QColor(214, 186, 128));
    painter.setBrush(disc);
    painter.drawEllipse(c, r, r);
    // A few soft maria.
    painter.setBrush(QColor(196, 170, 120, 70));
    painter.drawEllipse(c + QPointF(r * 0.2, -r * 0.15), r * 0.28, r * 0.22);
    painter.drawEllipse(c + QPointF(-r * 0.35, r * 0.25), r * 0.2, r * 0.16);
    painter.drawEllipse(c + QPointF(r * 0.1, r * 0.45), r * 0.16, r * 0.12);
}

void DrawAurora(QPainter& painter, const Scene& scene) {
    QImage layer = NewImage(kWidth, kHeight);
    {
        QPainter p;
        BeginPainter(p, layer);
        QPainterPath a;
        a.moveTo(-40, 150);
        a.cubicTo(220, 40, 520, 210, 1040, 60);
        p.strokePath(a, QPen(scene.auroraA, 46, Qt::SolidLine, Qt::RoundCap));
        QPainterPath b;
        b.moveTo(180, 260);
        b.cubicTo(420, 150, 700, 240, 1040, 170);
        p.strokePath(b, QPen(scene.auroraB, 30, Qt::SolidLine, Qt::RoundCap));
    }
    painter.drawImage(0, 0, Blur(layer, 36));
}

void DrawClouds(QPainter& painter, unsigned seed, qreal top, qreal bottom, int alpha) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<qreal> ux(-60, kWidth + 60);
    std::uniform_real_distribution<qreal> uy(top, bottom);
    std::uniform_real_distribution<qreal> uw(90, 260);
    QImage layer = NewImage(kWidth, kHeight);
    {
        QPainter p;
        BeginPainter(p, layer);
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 26; ++i) {
            const qreal w = uw(random);
            p.setBrush(QColor(110, 140, 220, alpha));
            p.drawEllipse(QPointF(ux(random), uy(random)), w, w * 0.16);
        }
    }
    painter.drawImage(0, 0, Blur(layer, 14));
}

// A recessed slot with a gold rim where a separate panel window sits over the background.
void DrawSlot(QPainter& painter, const QRectF& outer) {
    painter.save();
    DrawGlow(
        painter,
        [&] {
            QPainterPath p;
            p.addRoundedRect(outer.adjusted(-2, -2, 2, 2), 6, 6);
            return p;
        }(),
        QColor(0, 0, 0, 160), 10);
    painter.setPen(QPen(QBrush(GoldGradient(outer)), 1.6));
    painter.setBrush(QColor(6, 10, 28, 235));
    painter.drawRoundedRect(outer, 5, 5);
    painter.setPen(QPen(QColor(120, 170, 255, 70), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(outer.adjusted(2.5, 2.5, -2.5, -2.5), 3, 3);
    painter.restore();
}

void DrawCornerOrnament(QPainter& painter, const QPointF& corner, qreal sx, qreal sy) {
    painter.save();
    painter.translate(corner);
    painter.scale(sx, sy);
    QPainterPath curl;
    curl.moveTo(8, 40);
    curl.cubicTo(8, 18, 18, 8, 40, 8);
    curl.moveTo(14, 30);
    curl.cubicTo(16, 20, 20, 16, 30, 14);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QBrush(GoldGradient(QRectF(0, 0, 40, 40))), 1.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(curl);
    QPainterPath gem;
    gem.moveTo(17, 11);
    gem.lineTo(21, 15);
    gem.lineTo(17, 19);
    gem.lineTo(13, 15);
    gem.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette::kGoldLight);
    painter.translate(0, 2);
    painter.drawPath(gem);
    painter.restore();
}

void DrawLogo(QPainter& painter, const QPointF& center) {
    const QFont big = SerifFont(44, true);
    QFont letters = big;
    letters.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    const QPainterPath word = TextPath(QStringLiteral("NORBELROK"), letters, center);
    DrawGlow(painter, word, QColor(255, 200, 110, 150), 14);
    const QRectF box = word.boundingRect();
    painter.strokePath(word, QPen(QColor(30, 16, 0, 230), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(word, GoldGradient(box));
    QFont small = SerifFont(15, true);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 9);
    const QPointF sub = center + QPointF(4, 34);
    DrawOutlinedText(painter, QStringLiteral("ONLINE"), small, sub, QBrush(palette::kGoldLight),
                     QColor(20, 10, 0, 200), 1.5);
    painter.setPen(QPen(QBrush(GoldGradient(QRectF(0, sub.y() - 4, 10, 8))), 1.4));
    painter.drawLine(QPointF(box.left() + 6, sub.y()), QPointF(sub.x() - 56, sub.y()));
    painter.drawLine(QPointF(sub.x() + 60, sub.y()), QPointF(box.right() - 6, sub.y()));
}

QImage MakeBackground(const Scene& scene) {
    QImage image = NewImage(kWidth, kHeight);
    QPainter painter;
    BeginPainter(painter, image);
    const QRectF whole(0, 0, kWidth, kHeight);
    QPainterPath shape;
    shape.addRoundedRect(whole, kCornerRadius, kCornerRadius);
    painter.setClipPath(shape);

    QLinearGradient sky(0, 0, 0, kHeight);
    sky.setColorAt(0.0, scene.skyTop);
    sky.setColorAt(0.5, scene.skyMiddle);
    sky.setColorAt(1.0, scene.skyBottom);
    painter.fillRect(whole, sky);
    DrawAurora(painter, scene);
    DrawStars(painter, QRectF(0, 0, kWidth, 470), 420, scene.seed, 230);
    DrawMoon(painter, scene.moon, 44);
    DrawClouds(painter, scene.seed + 1, 250, 420, 46);

    DrawRidge(painter, Ridge(440, 120, 0.58, scene.seed + 2), QColor(28, 42, 100), QColor(14, 22, 60),
              QColor(150, 180, 255, 70));
    DrawCastle(painter, QPointF(168, 446), 0.95, QColor(12, 18, 48), scene.seed + 3);
    // The rock the castle stands on, then the nearer hills.
    QPainterPath rock;
    rock.moveTo(-10, 560);
    rock.cubicTo(40, 470, 80, 452, 110, 446);
    rock.lineTo(232, 444);
    rock.cubicTo(262, 452, 300, 480, 380, 560);
    rock.closeSubpath();
    DrawRidge(painter, rock, QColor(16, 26, 68), QColor(8, 13, 38), QColor(120, 150, 230, 70));
    DrawRidge(painter, Ridge(520, 70, 0.55, scene.seed + 4), QColor(16, 26, 68), QColor(8, 13, 38),
              QColor(120, 150, 230, 60));
    DrawClouds(painter, scene.seed + 5, 500, 570, 20);
    DrawRidge(painter, Ridge(610, 46, 0.5, scene.seed + 6), QColor(9, 15, 42), QColor(4, 7, 22),
              QColor(90, 120, 200, 50));

    // Calm the middle where the panels sit, and darken the edges.
    QRadialGradient vignette(QPointF(560, 330), 640);
    vignette.setColorAt(0.0, QColor(4, 8, 24, 40));
    vignette.setColorAt(0.55, QColor(4, 8, 24, 30));
    vignette.setColorAt(1.0, QColor(0, 0, 10, 150));
    painter.fillRect(whole, vignette);
    // A soft shade under the middle, where the windows write their status lines.
    QRadialGradient shade(QPointF(520, 520), 260);
    shade.setColorAt(0.0, QColor(2, 4, 16, 120));
    shade.setColorAt(1.0, QColor(2, 4, 16, 0));
    painter.save();
    painter.translate(520, 520);
    painter.scale(1.0, 0.45);
    painter.translate(-520, -520);
    painter.fillRect(QRectF(200, 0, 640, kHeight * 3), shade);
    painter.restore();
    QLinearGradient footer(0, 600, 0, kHeight);
    footer.setColorAt(0.0, QColor(2, 4, 14, 0));
    footer.setColorAt(0.4, QColor(2, 4, 14, 170));
    footer.setColorAt(1.0, QColor(2, 4, 14, 230));
    painter.fillRect(QRectF(0, 600, kWidth, kHeight - 600), footer);
    QLinearGradient rule(40, 0, 960, 0);
    rule.setColorAt(0.0, QColor(236, 196, 104, 0));
    rule.setColorAt(0.2, QColor(236, 196, 104, 170));
    rule.setColorAt(0.8, QColor(236, 196, 104, 170));
    rule.setColorAt(1.0, QColor(236, 196, 104, 0));
    painter.setPen(QPen(QBrush(rule), 1.2));
    painter.drawLine(QPointF(40, 634.5), QPointF(960, 634.5));

    DrawLogo(painter, QPointF(168, 70));

    // The web picture panel of both pages, and the announcement panel of the login page.
    DrawSlot(painter, QRectF(724, 81, 168, 397));
    if (scene.announcementFrame) DrawSlot(painter, QRectF(308, 121, 430, 361));

    // Gold frame along the rounded edge.
    painter.setClipping(false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QBrush(GoldGradient(whole)), 2.4));
    painter.drawRoundedRect(whole.adjusted(1.2, 1.2, -1.2, -1.2), kCornerRadius - 1, kCornerRadius - 1);
    painter.setPen(QPen(QColor(0, 0, 0, 160), 1.4));
    painter.drawRoundedRect(whole.adjusted(3.2, 3.2, -3.2, -3.2), kCornerRadius - 3, kCornerRadius - 3);
    painter.setPen(QPen(QColor(236, 196, 104, 90), 1.0));
    painter.drawRoundedRect(whole.adjusted(5.5, 5.5, -5.5, -5.5), kCornerRadius - 5, kCornerRadius - 5);
    DrawCornerOrnament(painter, QPointF(0, 0), 1, 1);
    DrawCornerOrnament(painter, QPointF(kWidth, 0), -1, 1);
    DrawCornerOrnament(painter, QPointF(0, kHeight), 1, -1);
    DrawCornerOrnament(painter, QPointF(kWidth, kHeight), -1, -1);
    painter.end();
    return image;
}

}  // namespace

QImage MakeServerPageBackground() {
    return MakeBackground({QColor(22, 40, 104), QColor(12, 22, 62), QColor(5, 9, 26),
                           QColor(60, 200, 220, 60), QColor(90, 120, 255, 50), QPointF(214, 196), 1290,
                           false});
}

QImage MakeLoginPageBackground() {
    return MakeBackground({QColor(40, 30, 100), QColor(18, 20, 64), QColor(6, 8, 26),
                           QColor(170, 90, 220, 60), QColor(80, 140, 255, 50), QPointF(206, 190), 1300,
                           true});
}

}  // namespace skingen
