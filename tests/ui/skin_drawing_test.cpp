// Composition: pictures, strips, scaled and partial drawing, text, and the layered window
// that shows one composed image of its background's size.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBitmap>
#include <QImage>
#include <QRegion>

#include "skin/LayeredWindow.h"
#include "skin/SkinCanvas.h"
#include "skin/SkinImage.h"
#include "skin/SkinText.h"
#include "skin/qt/QtSkin.h"

namespace {

using nb::SkinCanvas;
using nb::SkinImage;

SkinImage Transparent(int w, int h) {
    return SkinImage::Transparent(w, h);
}

QString Gbk(std::string_view gbk) {
    return nb::ToQt(nb::SkinTextFromGbk(gbk));
}

// A strip of solid frames, each its own colour; `extra` columns of magenta at the right.
SkinImage SolidStrip(const std::vector<QColor>& colours, int frameWidth, int height, int extra = 0) {
    QImage image(frameWidth * static_cast<int>(colours.size()) + extra, height, QImage::Format_ARGB32);
    image.fill(QColor(255, 0, 255));
    for (size_t k = 0; k < colours.size(); ++k)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < frameWidth; ++x)
                image.setPixel(static_cast<int>(k) * frameWidth + x, y, colours[k].rgba());
    return nb::SkinImageFromQt(image);
}

// The rectangle holding every pixel that is not fully transparent.
QRect InkBox(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0) box |= QRect(x, y, 1, 1);
    return box;
}

QRect InkBox(const SkinImage& image) {
    return InkBox(nb::QtImageView(image));
}

bool ContainsColour(const QImage& image, QRgb rgb) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (rgb & 0xFFFFFF) && qAlpha(image.pixel(x, y)) == 255)
                return true;
    return false;
}

TEST(SkinCanvas, DrawsWholePicturesPixelExactAtTheirPlace) {
    SkinImage target = Transparent(40, 30);
    const SkinImage red = SolidStrip({QColor(200, 10, 10)}, 5, 4);
    {
        SkinCanvas canvas(target);
        canvas.DrawImage(red, 7, 3);
        EXPECT_EQ(canvas.LastStatus(), nb::SkinStatus::Ok);
    }
    EXPECT_EQ(InkBox(target), QRect(7, 3, 5, 4));
    EXPECT_EQ(QColor(nb::QtImageView(target).pixel(7, 3)), QColor(200, 10, 10));
}

TEST(SkinCanvas, StripFrameDrawsOnlyItsColumnsAndNeverTheRemainder) {
    // 127 columns, 3 frames: frames are 42 wide and column 126 (magenta) is never shown.
    const SkinImage strip = SolidStrip({Qt::red, Qt::green, Qt::blue}, 42, 39, 1);
    ASSERT_EQ(strip.Width(), 127);
    for (int frame = 0; frame < 3; ++frame) {
        SkinImage target = Transparent(100, 60);
        {
            SkinCanvas canvas(target);
            canvas.DrawFrame(strip, 3, frame, 10, 5);
        }
        EXPECT_EQ(InkBox(target), QRect(10, 5, 42, 39)) << frame;
        EXPECT_EQ(nb::QtImageView(target).pixel(10, 5), nb::QtImage(strip).pixel(frame * 42, 0)) << frame;
        EXPECT_EQ(nb::QtImageView(target).pixel(51, 43), nb::QtImage(strip).pixel(frame * 42 + 41, 38)) << frame;
        EXPECT_FALSE(ContainsColour(nb::QtImageView(target), qRgb(255, 0, 255))) << frame;
    }
}

TEST(SkinCanvas, ScaledPictureFillsExactlyItsRectangle) {
    // A progress fill of 402 x 10 squeezed to trunc(402 * 0.2) = 80 columns.
    const SkinImage fill = SolidStrip({QColor(30, 140, 250)}, 402, 10);
    SkinImage target = Transparent(500, 40);
    {
        SkinCanvas canvas(target);
        canvas.DrawImageScaled(fill, 316 - 300, 28, 80, 10);
        canvas.DrawImageScaled(fill, 0, 0, 0, 10);  // an empty bar draws nothing
    }
    EXPECT_EQ(InkBox(target), QRect(16, 28, 80, 10));
    EXPECT_EQ(QColor(nb::QtImageView(target).pixel(16 + 79, 37)), QColor(30, 140, 250));
}

TEST(SkinCanvas, PartialDrawingCopiesTheSourceRectangleAndRejectsOutsideSources) {
    const SkinImage strip = SolidStrip({Qt::red, Qt::green, Qt::blue, Qt::yellow}, 12, 8);
    SkinImage target = Transparent(30, 20);
    {
        SkinCanvas canvas(target);
        canvas.DrawImagePart(strip, nb::Rect(3, 4, 12, 8), 2 * 12, 0, 12, 8);
        EXPECT_EQ(canvas.LastStatus(), nb::SkinStatus::Ok);
        // A lamp frame past the strip's end (an unknown server state) draws nothing.
        canvas.DrawImagePart(strip, nb::Rect(15, 4, 12, 8), 7 * 12, 0, 12, 8);
        EXPECT_EQ(canvas.LastStatus(), nb::SkinStatus::InvalidParameter);
        canvas.DrawFrame(strip, 4, 4, 15, 4);
        canvas.DrawFrame(strip, 0, 0, 15, 4);
    }
    EXPECT_EQ(InkBox(target), QRect(3, 4, 12, 8));
    EXPECT_EQ(QColor(nb::QtImageView(target).pixel(3, 4)), QColor(Qt::blue));
}

TEST(SkinCanvas, MissingPictureDrawsNothingAndFailsNothing) {
    const SkinImage missing = nb::LoadSkinImage(99999);
    SkinImage target = Transparent(50, 50);
    {
        SkinCanvas canvas(target);
        canvas.DrawImage(missing, 0, 0);
        canvas.DrawImageScaled(missing, 0, 0, 20, 20);
        canvas.DrawFrame(missing, 3, 1, 0, 0);
        canvas.DrawImagePart(missing, nb::Rect(0, 0, 10, 10), 0, 0, 10, 10);
        EXPECT_EQ(canvas.LastStatus(), nb::SkinStatus::InvalidParameter);
    }
    EXPECT_TRUE(InkBox(target).isEmpty());
}

TEST(SkinText, NarrowTextIsCode936CutAt255UnitsAndAtTheFirstZero) {
    // "电信区" in code page 936.
    EXPECT_EQ(Gbk("\xB5\xE7\xD0\xC5\xC7\xF8"),
              QString::fromUtf8("\xE7\x94\xB5\xE4\xBF\xA1\xE5\x8C\xBA"));
    EXPECT_EQ(Gbk(std::string(300, 'a')).size(), 255);
    EXPECT_EQ(Gbk(std::string(255, 'a')).size(), 255);
    EXPECT_EQ(Gbk(std::string(254, 'a')).size(), 254);
    // 200 double-byte characters are 200 UTF-16 units: all shown. 300 are cut to 255.
    std::string wide;
    for (int i = 0; i < 300; ++i) wide += "\xB5\xE7";
    EXPECT_EQ(Gbk(wide.substr(0, 400)).size(), 200);
    EXPECT_EQ(Gbk(wide).size(), 255);
    EXPECT_EQ(Gbk(std::string("ab\0cd", 5)), QStringLiteral("ab"));
    EXPECT_TRUE(Gbk("").isEmpty());
    // A cut never leaves half a surrogate pair behind.
    const QString pairs = QString(254, QChar('x')) + QString::fromUtf8("\xF0\x9F\x98\x80");
    EXPECT_EQ(nb::ToQt(nb::SkinTextCut(pairs.toStdU16String())), QString(254, QChar('x')));
}

TEST(SkinText, TextStartsAtItsPointInItsColourAndLongTextIsCut) {
    SkinImage target = Transparent(400, 60);
    {
        SkinCanvas canvas(target);
        canvas.DrawText(std::string("Version 1043"), 20, 10, 14, 0xFD507EA1u);
    }
    const QRect ink = InkBox(target);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.left(), 20);
    EXPECT_LE(ink.left(), 24);
    EXPECT_GE(ink.top(), 10);
    EXPECT_LE(ink.bottom(), 10 + 20);
    // The most opaque ink carries the brush's colour.
    QRgb strongest = 0;
    for (int y = ink.top(); y <= ink.bottom(); ++y)
        for (int x = ink.left(); x <= ink.right(); ++x)
            if (qAlpha(nb::QtImageView(target).pixel(x, y)) > qAlpha(strongest)) strongest = nb::QtImageView(target).pixel(x, y);
    EXPECT_EQ(qAlpha(strongest), 0xFD);
    const QColor c = QColor::fromRgba(qUnpremultiply(strongest));
    EXPECT_NEAR(c.red(), 0x50, 2);
    EXPECT_NEAR(c.green(), 0x7E, 2);
    EXPECT_NEAR(c.blue(), 0xA1, 2);

    // 300 characters draw exactly like their first 255.
    SkinImage longText = Transparent(4000, 30), cut = Transparent(4000, 30);
    {
        SkinCanvas a(longText), b(cut);
        a.DrawText(std::string(300, 'W'), 0, 0, 14, 0xFFFFFFFFu);
        b.DrawText(std::string(255, 'W'), 0, 0, 14, 0xFFFFFFFFu);
    }
    EXPECT_EQ(nb::QtImage(longText), nb::QtImage(cut));
    EXPECT_LT(InkBox(cut).right(), 4000 - 1);
}

TEST(SkinText, ChineseTextIsDrawnWithTheFallbackFont) {
    SkinImage target = Transparent(200, 40);
    {
        SkinCanvas canvas(target);
        canvas.DrawText("\xC8\xB7\xB6\xA8", 10, 10, 15, 0xFD029DFFu);  // "确定"
    }
    const QRect ink = InkBox(target);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.width(), 20);  // two ideographs of 15 pixels, not two replacement boxes of nothing
}

TEST(SkinText, TextInARectangleWrapsAndStaysInside) {
    SkinImage target = Transparent(400, 300);
    const nb::Rect rect(50, 65, 307, 91);
    {
        SkinCanvas canvas(target);
        canvas.DrawTextInRect((QString(40, QChar(0x9A8C)) + QStringLiteral(" words words words words")).toStdU16String(),
                              rect, 15, 0xC8029DFFu);
    }
    const QRect ink = InkBox(target);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_TRUE(nb::ToQt(rect).contains(ink));
    EXPECT_GT(ink.height(), 30);  // more than one line
}

// A window of the skin, composed from a background and drawing steps.
class ComposedWindow : public nb::LayeredWindow {
public:
    bool Compose(const SkinImage& background, const std::function<void(SkinCanvas&)>& steps = {}) {
        return LayeredRepaint(background, steps);
    }
};

TEST(LayeredWindow, TakesTheBackgroundsSizeAndShowsTheComposedImage) {
    ComposedWindow window;
    window.resize(950, 680);
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground));
    const SkinImage background = nb::LoadSkinImage(129);
    const SkinImage dot = SolidStrip({QColor(250, 250, 0)}, 4, 4);
    ASSERT_TRUE(window.Compose(background, [&](SkinCanvas& canvas) {
        canvas.DrawImage(dot, 100, 100);
        canvas.DrawImage(SolidStrip({QColor(0, 0, 250)}, 2, 2), 101, 101);  // later steps lie on top
    }));
    EXPECT_EQ(window.size(), QSize(1000, 692));
    const QImage& composed = window.ComposedImage();
    ASSERT_EQ(composed.size(), QSize(1000, 692));
    EXPECT_EQ(composed.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(qAlpha(composed.pixel(0, 0)), 0);
    EXPECT_EQ(composed.pixel(500, 300), nb::QtImage(background).pixel(500, 300));
    EXPECT_EQ(QColor(composed.pixel(100, 100)), QColor(250, 250, 0));
    EXPECT_EQ(QColor(composed.pixel(101, 101)), QColor(0, 0, 250));

    // What reaches the screen is the composed image, transparent corners included.
    QImage screen(window.size(), QImage::Format_ARGB32_Premultiplied);
    screen.fill(Qt::transparent);
    window.render(&screen, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_EQ(screen, composed);

    // Clicks on the transparent corners are not the window's.
    EXPECT_FALSE(window.mask().isEmpty());
    EXPECT_FALSE(window.mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(window.mask().contains(QPoint(500, 300)));
}

TEST(LayeredWindow, EmptyBackgroundKeepsThePreviousLookAndSize) {
    ComposedWindow window;
    const SkinImage background = nb::LoadSkinImage(150);
    ASSERT_TRUE(window.Compose(background));
    const QImage before = window.ComposedImage();
    bool stepsRan = false;
    EXPECT_FALSE(window.Compose(nb::LoadSkinImage(99999), [&](SkinCanvas&) { stepsRan = true; }));
    EXPECT_FALSE(stepsRan);
    EXPECT_EQ(window.size(), QSize(303, 176));
    EXPECT_EQ(window.ComposedImage(), before);
}

TEST(LayeredWindow, EveryRepaintStartsFromATransparentImage) {
    ComposedWindow window;
    const SkinImage background = nb::LoadSkinImage(150);
    const SkinImage dot = SolidStrip({QColor(250, 250, 0)}, 4, 4);
    window.Compose(background, [&](SkinCanvas& canvas) { canvas.DrawImage(dot, 0, 0); });
    EXPECT_EQ(QColor(window.ComposedImage().pixel(1, 1)), QColor(250, 250, 0));
    window.Compose(background);
    // The corner is transparent again: nothing of the previous repaint survives.
    EXPECT_EQ(qAlpha(window.ComposedImage().pixel(0, 0)), 0);
}

TEST(LayeredWindow, RepaintAskedForWhileComposingShowsTheLatestState) {
    ComposedWindow window;
    const SkinImage background = nb::LoadSkinImage(150);
    const SkinImage before = SolidStrip({QColor(250, 0, 0)}, 4, 4);
    const SkinImage after = SolidStrip({QColor(0, 250, 0)}, 4, 4);
    bool changed = false;
    int runs = 0;
    std::function<void(SkinCanvas&)> steps = [&](SkinCanvas& canvas) {
        ++runs;
        canvas.DrawImage(changed ? after : before, 50, 50);
        if (!changed) {
            changed = true;  // as when a step's button changes and its owner asks for a repaint
            EXPECT_TRUE(window.Compose(background, steps));
        }
    };
    ASSERT_TRUE(window.Compose(background, steps));
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(QColor(window.ComposedImage().pixel(51, 51)), QColor(0, 250, 0));
}

}  // namespace
