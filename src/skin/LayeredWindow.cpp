#include "skin/LayeredWindow.h"

#include <QBitmap>
#include <QPaintEvent>
#include <QPainter>

namespace nb {

LayeredWindow::LayeredWindow(QWidget* parent, Kind kind)
    : QDialog(parent, (kind == Kind::kMainWindow ? Qt::Window : Qt::Dialog) | Qt::FramelessWindowHint) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
}

LayeredWindow::~LayeredWindow() = default;

bool LayeredWindow::LayeredRepaint(const SkinImage& background,
                                   const std::function<void(SkinCanvas&)>& steps) {
    if (background.IsEmpty()) return false;
    // A step may change a button, whose owner then asks for a repaint while this one is still
    // drawing: run that repaint once this one is done, so the last image shows the last state.
    if (m_bComposing) {
        m_bRecompose = true;
        return true;
    }
    m_bComposing = true;
    QImage image;
    do {
        m_bRecompose = false;
        image = QImage(background.Width(), background.Height(), QImage::Format_ARGB32_Premultiplied);
        if (image.isNull()) break;  // out of memory: keep the previous look
        image.fill(Qt::transparent);
        SkinCanvas canvas(image);
        canvas.DrawImage(background, 0, 0);
        if (steps) steps(canvas);
    } while (m_bRecompose);
    m_bComposing = false;
    if (image.isNull()) return false;
    m_composed = image;
    if (size() != m_composed.size()) setFixedSize(m_composed.size());
    UpdateShape(background);
    update();
    return true;
}

void LayeredWindow::UpdateShape(const SkinImage& background) {
    // Transparent pixels of a per-pixel-alpha window let clicks through, and without a
    // compositing window manager they would show as black: give the window the shape of the
    // background's visible pixels. Made once per background, not on every repaint.
    const qint64 key = background.Native().cacheKey();
    if (key == m_shapeKey) return;
    m_shapeKey = key;
    const QImage& pixels = background.Native();
    QImage mask(pixels.size(), QImage::Format_MonoLSB);
    if (mask.isNull()) return;
    mask.setColorCount(2);
    mask.setColor(0, qRgb(255, 255, 255));  // left out of the shape
    mask.setColor(1, qRgb(0, 0, 0));        // part of the shape
    bool opaqueEverywhere = true;
    for (int y = 0; y < pixels.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            const bool visible = qAlpha(row[x]) != 0;
            mask.setPixel(x, y, visible ? 1 : 0);
            opaqueEverywhere = opaqueEverywhere && visible;
        }
    }
    if (opaqueEverywhere) {
        clearMask();
    } else {
        setMask(QBitmap::fromImage(mask, Qt::MonoOnly));
    }
}

void LayeredWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(event->rect(), Qt::transparent);
    if (!m_composed.isNull()) painter.drawImage(event->rect().topLeft(), m_composed, event->rect());
}

}  // namespace nb
