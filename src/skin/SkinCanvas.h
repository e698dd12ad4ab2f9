#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "skin/SkinImage.h"
#include "skin/SkinTypes.h"

namespace nb {

// The drawing operations of a window's composition, on one premultiplied picture. Pictures
// are drawn without smoothing of edges (pixel-exact at integer places), scaled pictures with
// bilinear filtering, texts anti-aliased in the window face. A failed operation draws nothing
// and is recorded in LastStatus(); no operation ever fails its caller. The backend does the
// drawing (a QPainter, GDI+ Graphics on a DIB section).
class SkinCanvas {
public:
    // Paints on `target` until the canvas is destroyed; the target must outlive it.
    explicit SkinCanvas(SkinImage& target);
    ~SkinCanvas();
    SkinCanvas(const SkinCanvas&) = delete;
    SkinCanvas& operator=(const SkinCanvas&) = delete;

    // The whole picture at its own size.
    void DrawImage(const SkinImage& image, int x, int y);
    // The whole picture squeezed or stretched into a rectangle (a progress fill, the
    // verification picture).
    void DrawImageScaled(const SkinImage& image, int x, int y, int width, int height);
    // Part of a picture (source rectangle in the picture's pixels) into a destination rectangle.
    void DrawImagePart(const SkinImage& image, const Rect& destination, int sourceX, int sourceY,
                       int sourceWidth, int sourceHeight);
    // Frame `frame` of a strip of `frameCount` frames, unscaled, its top-left at (x, y).
    void DrawFrame(const SkinImage& strip, unsigned frameCount, int frame, int x, int y);

    // One line of text from (x, y), the top-left of its line box; not clipped, no line breaks
    // interpreted. The narrow form takes code page 936 bytes.
    void DrawText(std::string_view gbk, int x, int y, int pixelSize, SkinColour argb);
    void DrawText(const char* gbk, int x, int y, int pixelSize, SkinColour argb) {
        DrawText(std::string_view(gbk ? gbk : ""), x, y, pixelSize, argb);
    }
    void DrawText(const std::string& gbk, int x, int y, int pixelSize, SkinColour argb) {
        DrawText(std::string_view(gbk), x, y, pixelSize, argb);
    }
    void DrawText(const std::u16string& text, int x, int y, int pixelSize, SkinColour argb);
    // Text laid out inside a rectangle: wrapped at word boundaries (anywhere when a word is
    // wider than the rectangle), clipped to the rectangle (a line that only partly fits shows
    // its upper part).
    void DrawTextInRect(std::string_view gbk, const Rect& rect, int pixelSize, SkinColour argb);
    void DrawTextInRect(const std::string& gbk, const Rect& rect, int pixelSize, SkinColour argb) {
        DrawTextInRect(std::string_view(gbk), rect, pixelSize, argb);
    }
    void DrawTextInRect(const char* gbk, const Rect& rect, int pixelSize, SkinColour argb) {
        DrawTextInRect(std::string_view(gbk ? gbk : ""), rect, pixelSize, argb);
    }
    void DrawTextInRect(const std::u16string& text, const Rect& rect, int pixelSize, SkinColour argb);

    SkinStatus LastStatus() const { return m_lastStatus; }

    // The backend's drawing state.
    struct Backend;

private:
    bool Check(const SkinImage& image);
    // The backend's part: whether drawing is possible, and the three primitives, called
    // with checked arguments only.
    bool Active() const;
    void Blit(const SkinImage& image, const Rect& destination, const Rect& source, bool smooth);
    void PaintText(const std::u16string& text, int x, int y, int pixelSize, SkinColour argb);
    void PaintTextInRect(const std::u16string& text, const Rect& rect, int pixelSize, SkinColour argb);

    std::unique_ptr<Backend> m_backend;
    SkinStatus m_lastStatus = SkinStatus::Ok;
};

}  // namespace nb
