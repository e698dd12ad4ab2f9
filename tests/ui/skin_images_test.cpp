// The compiled-in skin pictures: every id at its size and frame layout, the transparent
// corners of the window backgrounds, the JPEG tabs, the plain bitmap, and loading failures.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <set>

#include "TestPaths.h"
#include "skin/SkinImage.h"
#include "skin/qt/QtSkin.h"

namespace {

using nb::LoadSkinImage;
using nb::SkinImage;
using nb::SkinResourceType;
using nb::SkinStatus;

struct Expected {
    int id;
    int width;
    int height;
    unsigned frames;
    int frameWidth;
};

// Sizes and frame layouts the windows rely on.
const Expected kPictures[] = {
    {129, 1000, 692, 1, 1000}, {130, 1000, 692, 1, 1000}, {132, 127, 39, 3, 42},  {133, 324, 108, 3, 108},
    {134, 184, 61, 3, 61},     {135, 324, 108, 3, 108},   {136, 525, 62, 3, 175}, {138, 546, 27, 6, 91},
    {149, 373, 268, 1, 373},   {150, 303, 176, 1, 303},   {151, 228, 26, 3, 76},  {152, 228, 26, 3, 76},
    {153, 228, 26, 3, 76},     {156, 402, 10, 1, 402},    {163, 48, 8, 4, 12},    {173, 286, 82, 1, 286},
    {174, 294, 71, 1, 294},    {175, 273, 128, 3, 91},    {176, 273, 128, 3, 91}, {177, 424, 295, 1, 424},
    {178, 48, 24, 1, 48},      {179, 362, 16, 1, 362},    {182, 40, 20, 2, 20},   {184, 415, 54, 1, 415},
    {185, 324, 108, 3, 108},   {186, 753, 110, 3, 251},
};

bool HasVisiblePixels(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0) return true;
    return false;
}

class SkinPictureTest : public ::testing::TestWithParam<Expected> {};

TEST_P(SkinPictureTest, HasItsSizeAndFramesThatShowAndDiffer) {
    const Expected& e = GetParam();
    const SkinImage image = LoadSkinImage(e.id);
    ASSERT_FALSE(image.IsEmpty()) << "picture " << e.id;
    EXPECT_EQ(image.LastStatus(), SkinStatus::Ok);
    EXPECT_EQ(image.Width(), e.width);
    EXPECT_EQ(image.Height(), e.height);
    EXPECT_EQ(image.FrameWidth(e.frames), e.frameWidth);
    for (unsigned k = 0; k < e.frames; ++k) {
        const QRect frame = nb::ToQt(image.FrameRect(e.frames, static_cast<int>(k)));
        EXPECT_EQ(frame, QRect(static_cast<int>(k) * e.frameWidth, 0, e.frameWidth, e.height));
        EXPECT_TRUE(HasVisiblePixels(nb::QtImage(image), frame)) << "picture " << e.id << " frame " << k;
    }
    // The frames of a strip must tell its states apart, or a state change shows nothing.
    std::set<QByteArray> distinct;
    for (unsigned k = 0; k < e.frames; ++k) {
        const QImage frame = nb::QtImage(image).copy(nb::ToQt(image.FrameRect(e.frames, static_cast<int>(k))));
        distinct.insert(QByteArray(reinterpret_cast<const char*>(frame.constBits()), frame.sizeInBytes()));
    }
    EXPECT_EQ(distinct.size(), e.frames) << "picture " << e.id;
}

INSTANTIATE_TEST_SUITE_P(AllPictures, SkinPictureTest, ::testing::ValuesIn(kPictures),
                         [](const ::testing::TestParamInfo<Expected>& info) {
                             return "Id" + std::to_string(info.param.id);
                         });

TEST(SkinPictures, WindowBackgroundsHaveTransparentAntiAliasedCornersAndAnOpaqueBody) {
    for (int id : {129, 130, 149, 150}) {
        const QImage image = nb::QtImage(LoadSkinImage(id));
        ASSERT_FALSE(image.isNull()) << id;
        const int w = image.width(), h = image.height();
        for (const QPoint corner : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)})
            EXPECT_EQ(qAlpha(image.pixel(corner)), 0) << id << " corner " << corner.x() << "," << corner.y();
        EXPECT_EQ(qAlpha(image.pixel(w / 2, h / 2)), 255) << id;
        EXPECT_EQ(qAlpha(image.pixel(w / 2, 0)), 255) << id << " top edge";
        // Along the diagonal from the corner the alpha rises through partial values.
        bool partial = false;
        for (int d = 0; d < 12; ++d) {
            const int a = qAlpha(image.pixel(d, d));
            partial = partial || (a > 0 && a < 255);
        }
        EXPECT_TRUE(partial) << id << " corner is not anti-aliased";
    }
}

TEST(SkinPictures, ZoneTabsAreJpegDataFoundUnderTheSameId) {
    for (int id : {175, 176}) {
        const QString path = nb::FindSkinResource(id);
        ASSERT_FALSE(path.isEmpty()) << id;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray head = file.read(3);
        EXPECT_EQ(head, QByteArray("\xFF\xD8\xFF", 3)) << id;
        const SkinImage image = LoadSkinImage(id);
        EXPECT_EQ(image.Format(), "jpeg");
        EXPECT_EQ(qAlpha(nb::QtImage(image).pixel(0, 0)), 255);
    }
    EXPECT_EQ(LoadSkinImage(133).Format(), "png");
}

TEST(SkinPictures, EditFieldBitmapIs24BitAndFreeOfTheColourKeys) {
    const QString path = nb::FindSkinResource(162, SkinResourceType::Bitmap);
    ASSERT_FALSE(path.isEmpty());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_GT(bytes.size(), 30);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    EXPECT_EQ(static_cast<unsigned char>(bytes[28]), 24);  // bits per pixel

    const SkinImage image = LoadSkinImage(162, SkinResourceType::Bitmap);
    ASSERT_EQ(image.Width(), 228);
    ASSERT_EQ(image.Height(), 27);
    // The edit panels make these two colours see-through; the field must not contain them.
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) {
            const QRgb p = nb::QtImage(image).pixel(x, y);
            ASSERT_NE(p & 0xFFFFFF, 0xC8C8C8u) << x << "," << y;
            ASSERT_NE(p & 0xFFFFFF, 0x00FF00u) << x << "," << y;
        }
    // Only the bitmap path finds it.
    EXPECT_TRUE(LoadSkinImage(162).IsEmpty());
}

TEST(SkinPictures, ProgramIconLoads) {
    EXPECT_FALSE(nb::LoadSkinIcon(128).isNull());
}

TEST(SkinPictures, MissingResourceGivesAnEmptyPictureThatSaysWhy) {
    const SkinImage missing = LoadSkinImage(99999);
    EXPECT_TRUE(missing.IsEmpty());
    EXPECT_EQ(missing.Width(), 0);
    EXPECT_EQ(missing.Height(), 0);
    EXPECT_EQ(missing.LastStatus(), SkinStatus::NotFound);
    EXPECT_EQ(missing.FrameWidth(3), 0);
    EXPECT_TRUE(nb::ToQt(missing.FrameRect(3, 0)).isEmpty());
    EXPECT_TRUE(LoadSkinImage(129, SkinResourceType::Bitmap).IsEmpty());
    EXPECT_TRUE(nb::LoadSkinIcon(99999).isNull());
}

TEST(SkinPictures, StripArithmeticNeverDividesByZeroOrLeavesTheStrip) {
    const SkinImage strip = LoadSkinImage(132);  // 127 wide, 3 frames of 42
    EXPECT_EQ(strip.FrameWidth(0), 0);
    EXPECT_TRUE(nb::ToQt(strip.FrameRect(0, 0)).isEmpty());
    EXPECT_TRUE(nb::ToQt(strip.FrameRect(3, 3)).isEmpty());
    EXPECT_TRUE(nb::ToQt(strip.FrameRect(3, -1)).isEmpty());
    EXPECT_EQ(nb::ToQt(strip.FrameRect(3, 2)), QRect(84, 0, 42, 39));  // column 126 is never part of a frame
}

TEST(SkinPictures, LoadsFromAFileAndFailsQuietlyOnMissingOrBrokenFiles) {
    nb::test::ScopedTempDir dir;
    QImage picture(68, 28, QImage::Format_ARGB32);
    picture.fill(QColor(10, 200, 30));
    ASSERT_TRUE(picture.save(QString::fromStdString(dir.File("vcode.png")), "PNG"));

    const SkinImage loaded = nb::LoadSkinImageFromFile(dir.File("vcode.png"));
    ASSERT_FALSE(loaded.IsEmpty());
    EXPECT_EQ(loaded.Width(), 68);
    EXPECT_EQ(loaded.Height(), 28);
    EXPECT_EQ(QColor(nb::QtImage(loaded).pixel(5, 5)), QColor(10, 200, 30));

    const SkinImage missing = nb::LoadSkinImageFromFile(dir.File("absent.png"));
    EXPECT_TRUE(missing.IsEmpty());
    EXPECT_EQ(missing.LastStatus(), SkinStatus::NotFound);

    // A reply that is not a picture (an error page saved under the picture's name).
    nb::test::WriteFile(dir.File("broken.png"), "<html>busy</html>");
    const SkinImage broken = nb::LoadSkinImageFromFile(dir.File("broken.png"));
    EXPECT_TRUE(broken.IsEmpty());
    EXPECT_EQ(broken.LastStatus(), SkinStatus::UnknownImageFormat);

    // Truncated PNG data.
    const std::string whole = nb::test::ReadFile(dir.File("vcode.png"));
    nb::test::WriteFile(dir.File("cut.png"), whole.substr(0, whole.size() / 2));
    EXPECT_TRUE(nb::LoadSkinImageFromFile(dir.File("cut.png")).IsEmpty());

    EXPECT_TRUE(nb::LoadSkinImageFromFile("").IsEmpty());
}

}  // namespace

TEST(SkinPictures, DrawingOnACopyLeavesTheOriginalAsItWas) {
    // Pictures share their pixels: a window composing over a copy of its background must not
    // paint the background itself, or every repaint would start from the last one.
    const SkinImage background = SkinImage::Transparent(4, 3);
    SkinImage copy = background;
    ASSERT_EQ(copy.Identity(), background.Identity());
    copy.MutablePixels()[5] = 0xFF102030u;
    EXPECT_NE(copy.Identity(), background.Identity());
    EXPECT_EQ(copy.PixelAt(1, 1), 0xFF102030u);
    EXPECT_EQ(background.PixelAt(1, 1), 0u);
    EXPECT_EQ(copy.PixelAt(4, 0), 0u);  // outside: nothing, never a neighbour's pixel
    EXPECT_EQ(copy.PixelAt(-1, 2), 0u);
    // A size without pixels, or pixels that do not fill the size, give an empty picture.
    EXPECT_TRUE(SkinImage::Transparent(0, 3).IsEmpty());
    EXPECT_TRUE(SkinImage(2, 2, std::vector<std::uint32_t>(3, 0u)).IsEmpty());
}
