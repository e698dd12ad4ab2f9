#pragma once
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <cstdint>
#include <string_view>

#include "skin/SkinImage.h"

namespace nb {

// The drawing operations of a window's composition, on one premultiplied ARGB image.
// Pictures are drawn without smoothing of edges (pixel-exact at integer places), scaled
// pictures with bilinear filtering, texts anti-aliased. A failed operation draws nothing and
// is recorded in LastStatus(); no operation ever fails its caller.
class SkinCanvas {
public:
    // Paints on `target` until the canvas is destroyed; the target must outlive it.
    explicit SkinCanvas(QImage& target);
    ~SkinCanvas();
    SkinCanvas(const SkinCanvas&) = delete;
    SkinCanvas& operator=(const SkinCanvas&) = delete;

    // The whole picture at its own size.
    void DrawImage(const SkinImage& image, int x, int y);
    // The whole picture squeezed or stretched into a rectangle (a progress fill, the
    // verification picture).
    void DrawImageScaled(const SkinImage& image, int x, int y, int width, int height);
    // Part of a picture (source rectangle in the picture's pixels) into a destination rectangle.
    void DrawImagePart(const SkinImage& image, const QRectF& destination, int sourceX, int sourceY,
                       int sourceWidth, int sourceHeight);
    // Frame `frame` of a strip of `frameCount` frames, unscaled, its top-left at (x, y).
    void DrawFrame(const SkinImage& strip, unsigned frameCount, int frame, int x, int y);

    // One line of text from (x, y), the top-left of its line box; not clipped, no line breaks
    // interpreted. `argb` is 0xAARRGGBB. The narrow form takes code page 936 bytes.
    void DrawText(std::string_view gbk, int x, int y, int pixelSize, std::uint32_t argb);
    void DrawText(const char* gbk, int x, int y, int pixelSize, std::uint32_t argb) {
        DrawText(std::string_view(gbk ? gbk : ""), x, y, pixelSize, argb);
    }
    void DrawText(const QString& text, int x, int y, int pixelSize, std::uint32_t argb);
    // Text laid out inside a rectangle: wrapped at word boundaries (anywhere when a word is
    // wider than the rectangle), clipped to the rectangle (a line that only
    // partly fits shows its upper part).
    void DrawTextInRect(std::string_view gbk, const QRectF& rect, int pixelSize, std::uint32_t argb);
    void DrawTextInRect(const char* gbk, const QRectF& rect, int pixelSize, std::uint32_t argb) {
        DrawTextInRect(std::string_view(gbk ? gbk : ""), rect, pixelSize, argb);
    }
    void DrawTextInRect(const QString& text, const QRectF& rect, int pixelSize, std::uint32_t argb);

    SkinStatus LastStatus() const { return m_lastStatus; }
    // For the rare drawing the operations above do not cover.
    QPainter& Painter() { return m_painter; }

private:
    bool Check(const SkinImage& image);

    QPainter m_painter;
    SkinStatus m_lastStatus = SkinStatus::Ok;
};

}  // namespace nb
