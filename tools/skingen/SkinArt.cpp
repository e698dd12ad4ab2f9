#include "SkinArt.h"

#include <QFontMetricsF>
#include <QRadialGradient>
#include <algorithm>
#include <random>
#include <vector>

namespace skingen {

QImage NewImage(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void BeginPainter(QPainter& painter, QImage& image) {
    painter.begin(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

QFont CjkFont(qreal pixelSize, bool bold) {
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(static_cast<int>(pixelSize + 0.5));
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

QFont SerifFont(qreal pixelSize, bool bold) {
    QFont font(QStringLiteral("Liberation Serif"));
    font.setPixelSize(static_cast<int>(pixelSize + 0.5));
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

QImage MakeStrip(int stripWidth, int frames, int frameWidth, int height,
                 const std::function<void(QPainter&, int frame)>& paintFrame) {
    QImage strip = NewImage(stripWidth, height);
    for (int k = 0; k < frames; ++k) {
        // Each frame is drawn on its own so that no glow bleeds into the neighbouring frame.
        QImage frame = NewImage(frameWidth, height);
        QPainter painter;
        BeginPainter(painter, frame);
        paintFrame(painter, k);
        painter.end();
        QPainter onto(&strip);
        onto.drawImage(k * frameWidth, 0, frame);
    }
    return strip;
}

namespace {

// One box pass along rows (horizontal) or columns, on premultiplied pixels.
void BoxPass(QImage& image, int radius, bool horizontal) {
    const int w = image.width();
    const int h = image.height();
    const int lines = horizontal ? h : w;
    const int length = horizontal ? w : h;
    std::vector<QRgb> buffer(static_cast<size_t>(length));
    const int window = 2 * radius + 1;
    for (int line = 0; line < lines; ++line) {
        auto at = [&](int i) -> QRgb& {
            return horizontal ? reinterpret_cast<QRgb*>(image.scanLine(line))[i]
                              : reinterpret_cast<QRgb*>(image.scanLine(i))[line];
        };
        for (int i = 0; i < length; ++i) buffer[static_cast<size_t>(i)] = at(i);
        long sa = 0, sr = 0, sg = 0, sb = 0;
        auto add = [&](int i, int sign) {
            if (i < 0 || i >= length) return;
            const QRgb p = buffer[static_cast<size_t>(i)];
            sa += sign * qAlpha(p);
            sr += sign * qRed(p);
            sg += sign * qGreen(p);
            sb += sign * qBlue(p);
        };
        for (int i = -radius; i <= radius; ++i) add(i, 1);
        for (int i = 0; i < length; ++i) {
            at(i) = qRgba(static_cast<int>(sr / window), static_cast<int>(sg / window),
                          static_cast<int>(sb / window), static_cast<int>(sa / window));
            add(i - radius, -1);
            add(i + radius + 1, 1);
        }
    }
}

}  // namespace

QImage Blur(const QImage& source, int radius) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (radius <= 0) return image;
    const int passRadius = std::max(1, radius / 2);
    for (int pass = 0; pass < 3; ++pass) {
        BoxPass(image, passRadius, true);
        BoxPass(image, passRadius, false);
    }
    return image;
}

void DrawGlow(QPainter& painter, const QPainterPath& shape, const QColor& color, int radius) {
    const QRect device =
        painter.device() ? QRect(0, 0, painter.device()->width(), painter.device()->height()) : QRect();
    QImage layer = NewImage(device.width(), device.height());
    {
        QPainter p;
        BeginPainter(p, layer);
        p.setTransform(painter.transform());
        p.fillPath(shape, color);
    }
    layer = Blur(layer, radius);
    painter.save();
    painter.resetTransform();
    painter.drawImage(0, 0, layer);
    painter.restore();
}

QLinearGradient GoldGradient(const QRectF& rect) {
    QLinearGradient g(rect.topLeft(), rect.bottomLeft());
    g.setColorAt(0.0, palette::kGoldLight);
    g.setColorAt(0.35, palette::kGold);
    g.setColorAt(0.55, palette::kGoldDark);
    g.setColorAt(0.8, palette::kGold);
    g.setColorAt(1.0, palette::kGoldLight.darker(120));
    return g;
}

QLinearGradient Vertical(const QRectF& rect, const QColor& top, const QColor& bottom) {
    QLinearGradient g(rect.topLeft(), rect.bottomLeft());
    g.setColorAt(0.0, top);
    g.setColorAt(1.0, bottom);
    return g;
}

QPainterPath TextPath(const QString& text, const QFont& font, const QPointF& center) {
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF box = path.boundingRect();
    // Centre on the ink box horizontally, on the font's cap area vertically, so that rows of
    // different words line up.
    const QFontMetricsF metrics(font);
    const qreal dy = center.y() + (metrics.ascent() - metrics.descent()) / 2.0 - metrics.ascent() * 0.06;
    path.translate(center.x() - box.center().x(), dy);
    return path;
}

void DrawOutlinedText(QPainter& painter, const QString& text, const QFont& font, const QPointF& center,
                      const QBrush& fill, const QColor& outline, qreal outlineWidth) {
    const QPainterPath path = TextPath(text, font, center);
    painter.save();
    if (outlineWidth > 0) {
        QPen pen(outline, outlineWidth * 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.strokePath(path, pen);
    }
    painter.fillPath(path, fill);
    painter.restore();
}

void DrawOrb(QPainter& painter, const QPointF& c, qreal radius, Look look, const QColor& inner,
             qreal ringWidth) {
    painter.save();
    const bool hover = look == Look::Hover;
    const bool pressed = look == Look::Pressed;
    const QPointF center = pressed ? c + QPointF(0, 1) : c;

    // Outer glow and drop shadow.
    QPainterPath disc;
    disc.addEllipse(center, radius, radius);
    if (hover) {
        DrawGlow(painter, disc,
                 QColor(palette::kCyan.red(), palette::kCyan.green(), palette::kCyan.blue(), 200),
                 static_cast<int>(radius * 0.22) + 2);
    } else {
        QPainterPath shadow;
        shadow.addEllipse(center + QPointF(0, radius * 0.06), radius, radius);
        DrawGlow(painter, shadow, QColor(0, 0, 0, pressed ? 90 : 150), static_cast<int>(radius * 0.12) + 1);
    }

    // Gold ring: a conical sweep gives the turned-metal look.
    QConicalGradient ring(center, 120);
    const QColor hi = palette::kGoldLight;
    const QColor mid = pressed ? palette::kGold.darker(125) : palette::kGold;
    const QColor lo = pressed ? palette::kBronze : palette::kGoldDark;
    ring.setColorAt(0.0, hi);
    ring.setColorAt(0.18, mid);
    ring.setColorAt(0.4, lo);
    ring.setColorAt(0.6, mid);
    ring.setColorAt(0.78, hi);
    ring.setColorAt(1.0, hi);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ring);
    painter.drawEllipse(center, radius, radius);
    painter.setPen(QPen(QColor(40, 24, 4, 200), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(center, radius - 0.5, radius - 0.5);

    // Glass sphere.
    const qreal r = radius - ringWidth;
    QColor core = inner;
    if (hover) core = inner.lighter(145);
    if (pressed) core = inner.darker(140);
    QRadialGradient sphere(center + QPointF(-r * 0.3, -r * 0.45), r * 1.5,
                           center + QPointF(-r * 0.2, -r * 0.4));
    sphere.setColorAt(0.0, core.lighter(190));
    sphere.setColorAt(0.35, core);
    sphere.setColorAt(0.85, core.darker(260));
    sphere.setColorAt(1.0, palette::kNavyDeep);
    painter.setPen(QPen(QColor(20, 12, 2, 230), 1.2));
    painter.setBrush(sphere);
    painter.drawEllipse(center, r, r);

    // Inner rim light at the bottom, reflected from the ring.
    QRadialGradient rim(center, r);
    rim.setColorAt(0.75, QColor(0, 0, 0, 0));
    rim.setColorAt(1.0, pressed ? QColor(0, 0, 0, 120)
                                : QColor(palette::kCyan.red(), palette::kCyan.green(), palette::kCyan.blue(),
                                         hover ? 150 : 80));
    painter.setPen(Qt::NoPen);
    painter.setBrush(rim);
    painter.drawEllipse(center, r, r);

    // Specular highlight.
    if (!pressed) {
        QRectF gloss(center.x() - r * 0.68, center.y() - r * 0.92, r * 1.36, r * 0.9);
        QLinearGradient g(gloss.topLeft(), gloss.bottomLeft());
        g.setColorAt(0.0, QColor(255, 255, 255, hover ? 150 : 110));
        g.setColorAt(1.0, QColor(255, 255, 255, 0));
        painter.setBrush(g);
        painter.drawEllipse(gloss);
    }
    painter.restore();
}

void DrawPanel(QPainter& painter, const QRectF& rect, qreal radius, int alpha, bool goldTrim) {
    painter.save();
    QLinearGradient body(rect.topLeft(), rect.bottomLeft());
    body.setColorAt(0.0, QColor(22, 34, 82, alpha));
    body.setColorAt(0.5, QColor(12, 20, 54, alpha));
    body.setColorAt(1.0, QColor(8, 13, 38, alpha));
    painter.setPen(Qt::NoPen);
    painter.setBrush(body);
    painter.drawRoundedRect(rect, radius, radius);
    // A fine diagonal hatch gives the glass some texture without noise.
    painter.save();
    QPainterPath clip;
    clip.addRoundedRect(rect, radius, radius);
    painter.setClipPath(clip);
    painter.setPen(QPen(QColor(120, 160, 255, 10), 1.0));
    for (qreal x = rect.left() - rect.height(); x < rect.right(); x += 6)
        painter.drawLine(QPointF(x, rect.bottom()), QPointF(x + rect.height(), rect.top()));
    painter.restore();
    if (goldTrim) {
        QPen trim(QBrush(GoldGradient(rect)), 1.6);
        painter.setPen(trim);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(rect.adjusted(0.8, 0.8, -0.8, -0.8), radius, radius);
        painter.setPen(QPen(QColor(140, 180, 255, 60), 1.0));
        painter.drawRoundedRect(rect.adjusted(3.5, 3.5, -3.5, -3.5), std::max<qreal>(radius - 3, 1),
                                std::max<qreal>(radius - 3, 1));
    } else {
        painter.setPen(QPen(QColor(90, 140, 230, 120), 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    }
    painter.restore();
}

void DrawStars(QPainter& painter, const QRectF& area, int count, unsigned seed, int maxAlpha) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<qreal> ux(area.left(), area.right());
    std::uniform_real_distribution<qreal> uy(area.top(), area.bottom());
    std::uniform_real_distribution<qreal> unit(0.0, 1.0);
    painter.save();
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < count; ++i) {
        const QPointF p(ux(random), uy(random));
        const qreal t = unit(random);
        // Most stars faint, a few bright with a soft halo; fewer towards the horizon.
        const qreal fade = 1.0 - (p.y() - area.top()) / area.height();
        const int alpha = static_cast<int>(maxAlpha * (0.25 + 0.75 * t * t) * (0.3 + 0.7 * fade));
        const qreal size = t > 0.93 ? 1.4 : (t > 0.7 ? 0.9 : 0.6);
        const QColor tint = t > 0.5 ? QColor(220, 230, 255, alpha) : QColor(255, 240, 210, alpha);
        if (t > 0.96) {
            QRadialGradient halo(p, 5);
            halo.setColorAt(0.0, QColor(200, 220, 255, alpha / 2));
            halo.setColorAt(1.0, QColor(200, 220, 255, 0));
            painter.setBrush(halo);
            painter.drawEllipse(p, 5, 5);
        }
        painter.setBrush(tint);
        painter.drawEllipse(p, size, size);
    }
    painter.restore();
}

}  // namespace skingen
