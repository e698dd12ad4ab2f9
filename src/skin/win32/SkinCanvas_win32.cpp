#include "skin/SkinCanvas.h"
#include "skin/win32/Win32Skin.h"

#include <memory>

namespace nb {

namespace win32 {
Gdiplus::FontFamily* SkinFontFamily() {
    static Gdiplus::FontFamily* family = [] {
        auto* wanted = new Gdiplus::FontFamily(L"Times New Roman");
        if (wanted->GetLastStatus() == Gdiplus::Ok) return wanted;
        delete wanted;
        return Gdiplus::FontFamily::GenericSerif()->Clone();
    }();
    return family;
}
}  // namespace win32

using namespace win32;

struct SkinCanvas::Backend {
    std::unique_ptr<Gdiplus::Bitmap> target;  // over the SkinImage's own words
    std::unique_ptr<Gdiplus::Graphics> graphics;
};

SkinCanvas::SkinCanvas(SkinImage& target) : m_backend(std::make_unique<Backend>()) {
    std::uint32_t* pixels = target.MutablePixels();
    if (pixels) {
        m_backend->target = std::make_unique<Gdiplus::Bitmap>(target.Width(), target.Height(), target.Width() * 4,
                                                              PixelFormat32bppPARGB, reinterpret_cast<BYTE*>(pixels));
        m_backend->graphics = std::make_unique<Gdiplus::Graphics>(m_backend->target.get());
    }
    if (!Active()) {
        m_lastStatus = SkinStatus::InvalidParameter;
        return;
    }
    Gdiplus::Graphics& g = *m_backend->graphics;
    g.SetCompositingMode(Gdiplus::CompositingModeSourceOver);
    g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    g.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
}

SkinCanvas::~SkinCanvas() = default;

bool SkinCanvas::Active() const {
    return m_backend->graphics && m_backend->graphics->GetLastStatus() == Gdiplus::Ok;
}

void SkinCanvas::Blit(const SkinImage& image, const Rect& destination, const Rect& source, bool smooth) {
    Gdiplus::Bitmap pixels(image.Width(), image.Height(), image.Width() * 4, PixelFormat32bppPARGB,
                           reinterpret_cast<BYTE*>(const_cast<std::uint32_t*>(image.Pixels())));
    Gdiplus::Graphics& g = *m_backend->graphics;
    g.SetInterpolationMode(smooth ? Gdiplus::InterpolationModeHighQualityBilinear
                                  : Gdiplus::InterpolationModeNearestNeighbor);
    // Scaled edges take their own pixels, not the transparency beyond the picture.
    Gdiplus::ImageAttributes edges;
    edges.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    g.DrawImage(&pixels,
                Gdiplus::Rect(destination.x, destination.y, destination.width, destination.height), source.x,
                source.y, source.width, source.height, Gdiplus::UnitPixel, &edges);
}

void SkinCanvas::PaintText(const std::u16string& text, int x, int y, int pixelSize, SkinColour argb) {
    Gdiplus::Font font(SkinFontFamily(), static_cast<Gdiplus::REAL>(pixelSize), Gdiplus::FontStyleRegular,
                       Gdiplus::UnitPixel);
    Gdiplus::SolidBrush brush(GdiColour(argb));
    Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
    format.SetFormatFlags(format.GetFormatFlags() | Gdiplus::StringFormatFlagsNoWrap |
                          Gdiplus::StringFormatFlagsNoClip | Gdiplus::StringFormatFlagsMeasureTrailingSpaces);
    m_backend->graphics->DrawString(reinterpret_cast<const WCHAR*>(text.c_str()), static_cast<INT>(text.size()),
                                    &font, Gdiplus::PointF(static_cast<Gdiplus::REAL>(x), static_cast<Gdiplus::REAL>(y)),
                                    &format, &brush);
}

void SkinCanvas::PaintTextInRect(const std::u16string& text, const Rect& rect, int pixelSize, SkinColour argb) {
    Gdiplus::Font font(SkinFontFamily(), static_cast<Gdiplus::REAL>(pixelSize), Gdiplus::FontStyleRegular,
                       Gdiplus::UnitPixel);
    Gdiplus::SolidBrush brush(GdiColour(argb));
    Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
    const Gdiplus::RectF box(static_cast<Gdiplus::REAL>(rect.x), static_cast<Gdiplus::REAL>(rect.y),
                             static_cast<Gdiplus::REAL>(rect.width), static_cast<Gdiplus::REAL>(rect.height));
    Gdiplus::Graphics& g = *m_backend->graphics;
    g.SetClip(box);
    g.DrawString(reinterpret_cast<const WCHAR*>(text.c_str()), static_cast<INT>(text.size()), &font, box, &format,
                 &brush);
    g.ResetClip();
}

}  // namespace nb
