#include "skin/SkinCanvas.h"

#include "skin/SkinText.h"

namespace nb {

bool SkinCanvas::Check(const SkinImage& image) {
    if (!Active() || image.IsEmpty()) {
        m_lastStatus = SkinStatus::InvalidParameter;
        image.SetLastStatus(SkinStatus::InvalidParameter);
        return false;
    }
    return true;
}

void SkinCanvas::DrawImage(const SkinImage& image, int x, int y) {
    if (!Check(image)) return;
    Blit(image, Rect(x, y, image.Width(), image.Height()), Rect(0, 0, image.Width(), image.Height()), false);
}

void SkinCanvas::DrawImageScaled(const SkinImage& image, int x, int y, int width, int height) {
    if (!Check(image)) return;
    if (width <= 0 || height <= 0) return;  // nothing to cover; not an error
    Blit(image, Rect(x, y, width, height), Rect(0, 0, image.Width(), image.Height()), true);
}

void SkinCanvas::DrawImagePart(const SkinImage& image, const Rect& destination, int sourceX, int sourceY,
                               int sourceWidth, int sourceHeight) {
    if (!Check(image)) return;
    const Rect source(sourceX, sourceY, sourceWidth, sourceHeight);
    if (source.IsEmpty() || !Rect(0, 0, image.Width(), image.Height()).Contains(source)) {
        m_lastStatus = SkinStatus::InvalidParameter;
        image.SetLastStatus(SkinStatus::InvalidParameter);
        return;
    }
    if (destination.IsEmpty()) return;
    Blit(image, destination, source, destination.Extent() != source.Extent());
}

void SkinCanvas::DrawFrame(const SkinImage& strip, unsigned frameCount, int frame, int x, int y) {
    if (!Check(strip)) return;
    const Rect source = strip.FrameRect(frameCount, frame);
    if (source.IsEmpty()) {
        m_lastStatus = SkinStatus::InvalidParameter;
        strip.SetLastStatus(SkinStatus::InvalidParameter);
        return;
    }
    Blit(strip, Rect(Point{x, y}, source.Extent()), source, false);
}

void SkinCanvas::DrawText(std::string_view gbk, int x, int y, int pixelSize, SkinColour argb) {
    DrawText(SkinTextFromGbk(gbk), x, y, pixelSize, argb);
}

void SkinCanvas::DrawText(const std::u16string& text, int x, int y, int pixelSize, SkinColour argb) {
    if (!Active()) {
        m_lastStatus = SkinStatus::InvalidParameter;
        return;
    }
    const std::u16string shown = SkinTextCut(text);
    if (shown.empty()) return;
    PaintText(shown, x, y, pixelSize > 0 ? pixelSize : 1, argb);
}

void SkinCanvas::DrawTextInRect(std::string_view gbk, const Rect& rect, int pixelSize, SkinColour argb) {
    DrawTextInRect(SkinTextFromGbk(gbk), rect, pixelSize, argb);
}

void SkinCanvas::DrawTextInRect(const std::u16string& text, const Rect& rect, int pixelSize, SkinColour argb) {
    if (!Active()) {
        m_lastStatus = SkinStatus::InvalidParameter;
        return;
    }
    const std::u16string shown = SkinTextCut(text);
    if (shown.empty() || rect.IsEmpty()) return;
    PaintTextInRect(shown, rect, pixelSize > 0 ? pixelSize : 1, argb);
}

}  // namespace nb
