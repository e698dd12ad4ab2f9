#include "skin/SkinCanvas.h"

#include <QColor>
#include <QFontMetricsF>
#include <QTextLayout>
#include <QTextOption>

#include "skin/SkinText.h"

namespace nb {

SkinCanvas::SkinCanvas(QImage& target) {
    if (target.isNull() || !m_painter.begin(&target)) {
        m_lastStatus = SkinStatus::InvalidParameter;
        return;
    }
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.setRenderHint(QPainter::TextAntialiasing, true);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

SkinCanvas::~SkinCanvas() {
    if (m_painter.isActive()) m_painter.end();
}

bool SkinCanvas::Check(const SkinImage& image) {
    if (!m_painter.isActive() || image.IsEmpty()) {
        m_lastStatus = SkinStatus::InvalidParameter;
        image.SetLastStatus(SkinStatus::InvalidParameter);
        return false;
    }
    return true;
}

void SkinCanvas::DrawImage(const SkinImage& image, int x, int y) {
    if (!Check(image)) return;
    m_painter.drawImage(QPoint(x, y), image.Native());
}

void SkinCanvas::DrawImageScaled(const SkinImage& image, int x, int y, int width, int height) {
    if (!Check(image)) return;
    if (width <= 0 || height <= 0) return;  // nothing to cover; not an error
    m_painter.save();
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    m_painter.drawImage(QRect(x, y, width, height), image.Native());
    m_painter.restore();
}

void SkinCanvas::DrawImagePart(const SkinImage& image, const QRectF& destination, int sourceX, int sourceY,
                               int sourceWidth, int sourceHeight) {
    if (!Check(image)) return;
    const QRect source(sourceX, sourceY, sourceWidth, sourceHeight);
    if (sourceWidth <= 0 || sourceHeight <= 0 || !image.Native().rect().contains(source)) {
        m_lastStatus = SkinStatus::InvalidParameter;
        image.SetLastStatus(SkinStatus::InvalidParameter);
        return;
    }
    if (destination.isEmpty()) return;
    const bool scaled = destination.size() != QSizeF(source.size());
    m_painter.save();
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, scaled);
    m_painter.drawImage(destination, image.Native(), QRectF(source));
    m_painter.restore();
}

void SkinCanvas::DrawFrame(const SkinImage& strip, unsigned frameCount, int frame, int x, int y) {
    if (!Check(strip)) return;
    const QRect source = strip.FrameRect(frameCount, frame);
    if (source.isEmpty()) {
        m_lastStatus = SkinStatus::InvalidParameter;
        strip.SetLastStatus(SkinStatus::InvalidParameter);
        return;
    }
    m_painter.drawImage(QPoint(x, y), strip.Native(), source);
}

void SkinCanvas::DrawText(std::string_view gbk, int x, int y, int pixelSize, std::uint32_t argb) {
    DrawText(SkinTextFromGbk(gbk), x, y, pixelSize, argb);
}

void SkinCanvas::DrawText(const QString& text, int x, int y, int pixelSize, std::uint32_t argb) {
    if (!m_painter.isActive()) {
        m_lastStatus = SkinStatus::InvalidParameter;
        return;
    }
    const QString shown = SkinTextCut(text);
    if (shown.isEmpty()) return;
    const QFont font = SkinFont(pixelSize);
    m_painter.setFont(font);
    m_painter.setPen(QColor::fromRgba(argb));
    // The point is the top-left of the line, the baseline lies one ascent below it.
    const QFontMetricsF metrics(font);
    m_painter.drawText(QPointF(x, y + metrics.ascent()), shown);
}

void SkinCanvas::DrawTextInRect(std::string_view gbk, const QRectF& rect, int pixelSize, std::uint32_t argb) {
    DrawTextInRect(SkinTextFromGbk(gbk), rect, pixelSize, argb);
}

void SkinCanvas::DrawTextInRect(const QString& text, const QRectF& rect, int pixelSize, std::uint32_t argb) {
    if (!m_painter.isActive()) {
        m_lastStatus = SkinStatus::InvalidParameter;
        return;
    }
    const QString shown = SkinTextCut(text);
    if (shown.isEmpty() || rect.width() <= 0 || rect.height() <= 0) return;
    const QFont font = SkinFont(pixelSize);
    QTextLayout layout(shown, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid() || y >= rect.height()) break;
        line.setLineWidth(rect.width());
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    m_painter.save();
    m_painter.setClipRect(rect);
    m_painter.setPen(QColor::fromRgba(argb));
    layout.draw(&m_painter, rect.topLeft());
    m_painter.restore();
}

}  // namespace nb
