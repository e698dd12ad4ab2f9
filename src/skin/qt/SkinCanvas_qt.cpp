#include <QColor>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

#include "skin/SkinCanvas.h"
#include "skin/qt/QtSkin.h"

namespace nb {

struct SkinCanvas::Backend {
    QImage target;  // shares the pixels of the SkinImage being drawn on
    QPainter painter;
};

SkinCanvas::SkinCanvas(SkinImage& target) : m_backend(std::make_unique<Backend>()) {
    uchar* pixels = reinterpret_cast<uchar*>(target.MutablePixels());
    if (pixels)
        m_backend->target = QImage(pixels, target.Width(), target.Height(), target.Width() * 4,
                                   QImage::Format_ARGB32_Premultiplied);
    if (m_backend->target.isNull() || !m_backend->painter.begin(&m_backend->target)) {
        m_lastStatus = SkinStatus::InvalidParameter;
        return;
    }
    m_backend->painter.setRenderHint(QPainter::Antialiasing, false);
    m_backend->painter.setRenderHint(QPainter::TextAntialiasing, true);
    m_backend->painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

SkinCanvas::~SkinCanvas() {
    if (m_backend->painter.isActive()) m_backend->painter.end();
}

bool SkinCanvas::Active() const {
    return m_backend->painter.isActive();
}

void SkinCanvas::Blit(const SkinImage& image, const Rect& destination, const Rect& source, bool smooth) {
    QPainter& painter = m_backend->painter;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    const QImage pixels = QtImageView(image);
    if (destination.Extent() == source.Extent()) {
        painter.drawImage(ToQt(destination.Origin()), pixels, ToQt(source));
    } else {
        painter.drawImage(QRectF(ToQt(destination)), pixels, QRectF(ToQt(source)));
    }
    painter.restore();
}

void SkinCanvas::PaintText(const std::u16string& text, int x, int y, int pixelSize, SkinColour argb) {
    QPainter& painter = m_backend->painter;
    const QFont font = SkinFont(pixelSize);
    painter.setFont(font);
    painter.setPen(QColor::fromRgba(argb));
    // The point is the top-left of the line, the baseline lies one ascent below it.
    const QFontMetricsF metrics(font);
    painter.drawText(QPointF(x, y + metrics.ascent()), ToQt(text));
}

void SkinCanvas::PaintTextInRect(const std::u16string& text, const Rect& rect, int pixelSize, SkinColour argb) {
    QPainter& painter = m_backend->painter;
    QTextLayout layout(ToQt(text), SkinFont(pixelSize));
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid() || y >= rect.height) break;
        line.setLineWidth(rect.width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    painter.save();
    painter.setClipRect(ToQt(rect));
    painter.setPen(QColor::fromRgba(argb));
    layout.draw(&painter, QPointF(rect.x, rect.y));
    painter.restore();
}

}  // namespace nb
