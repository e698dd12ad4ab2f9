// The message dialog: its composed picture (grid cells, button frames, label) and the ways
// its modal run ends.
#include <gtest/gtest.h>

#include <QPainter>

#include <QApplication>
#include <string>

#include "WindowTestSupport.h"
#include "skin/qt/QtSkin.h"
#include "ui/CMessageDlg.h"

namespace {

using nb::CMessageDlg;
using nb::test::Differs;
using nb::test::FrameShownAt;

// "国", a dense glyph that leaves ink in the middle of its cell.
const std::string kDense = "\xB9\xFA";

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

// The middle of grid cell i, where any character drawn there leaves ink.
QRect CellCore(int i) {
    const QPoint o = nb::ToQt(CMessageDlg::CellOrigin(i));
    return QRect(o.x() + 3, o.y() + 4, 10, 8);
}

QImage Composed(const std::string& gbk) {
    CMessageDlg dialog;
    dialog.SetText(gbk);
    return dialog.ComposedImage();
}

const QRect kOkPlace(110, 122, 76, 26);
const QRect kLabelArea(15, 2, 40, 22);  // the label "确定" over the button, button coordinates

TEST(MessageDialog, TakesTheBackgroundsSizeAndShowsButtonAndLabelWithoutText) {
    CMessageDlg dialog;
    const QImage image = dialog.ComposedImage();
    ASSERT_EQ(image.size(), QSize(303, 176));
    EXPECT_EQ(dialog.size(), QSize(303, 176));
    EXPECT_EQ(dialog.OkButton()->geometry(), kOkPlace);
    EXPECT_EQ(dialog.OkButton()->ControlId(), 2011);
    const nb::SkinImage strip = nb::LoadSkinImage(151);
    EXPECT_EQ(FrameShownAt(image, kOkPlace, strip, 3, kLabelArea), 0);

    // The label is drawn over the button; the grid stays as the background is.
    QImage bare(image.size(), QImage::Format_ARGB32_Premultiplied);
    bare.fill(Qt::transparent);
    {
        QPainter painter(&bare);
        painter.drawImage(0, 0, nb::QtImage(nb::LoadSkinImage(150)));
        painter.drawImage(kOkPlace.topLeft(), nb::QtImage(strip), QRect(0, 0, 76, 26));
    }
    EXPECT_TRUE(Differs(image, bare, QRect(129, 129, 30, 14)));
    EXPECT_FALSE(Differs(image, bare, QRect(56, 50, 230, 70)));
}

TEST(MessageDialog, CharactersFillRowsOfFourteenCellsWithoutWrapping) {
    const QImage empty = Composed("");
    // 20 characters: row 0 full, row 1 up to cell 19.
    const QImage twenty = Composed(Repeat(kDense, 20));
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(Differs(empty, twenty, CellCore(i))) << "cell " << i;
    for (int i = 20; i < 42; ++i) EXPECT_FALSE(Differs(empty, twenty, CellCore(i))) << "cell " << i;

    // Exactly 14 fill one row; the 15th starts row 1 at (60, 70).
    EXPECT_EQ(CMessageDlg::CellOrigin(13), QPoint(268, 55));
    EXPECT_EQ(CMessageDlg::CellOrigin(14), QPoint(60, 70));
    const QImage fourteen = Composed(Repeat(kDense, 14));
    EXPECT_TRUE(Differs(empty, fourteen, CellCore(13)));
    EXPECT_FALSE(Differs(empty, fourteen, CellCore(14)));
    const QImage fifteen = Composed(Repeat(kDense, 15));
    EXPECT_TRUE(Differs(empty, fifteen, CellCore(14)));

    // A line break is a character like any other: it takes a cell and breaks no line.
    const QImage broken = Composed(kDense + "\n" + kDense);
    EXPECT_TRUE(Differs(empty, broken, CellCore(2)));
    EXPECT_FALSE(Differs(empty, broken, CellCore(14)));
}

TEST(MessageDialog, TextIsCutToTheDrawingBuffer) {
    CMessageDlg dialog;
    dialog.SetText(Repeat("a", 300));
    EXPECT_EQ(dialog.Text().size(), 255);
    dialog.SetText(Repeat(kDense, 10) + std::string("\0tail", 5));
    EXPECT_EQ(dialog.Text().size(), 10);  // the text ends at its first NUL, as a C string does
}

TEST(MessageDialog, ButtonShowsHoverAndPressedFrames) {
    CMessageDlg dialog;
    dialog.show();
    const nb::SkinImage strip = nb::LoadSkinImage(151);
    nb::test::Hover(dialog.OkButton());
    EXPECT_EQ(FrameShownAt(dialog.ComposedImage(), kOkPlace, strip, 3, kLabelArea), 1);
    nb::test::PressOn(dialog.OkButton());
    EXPECT_EQ(FrameShownAt(dialog.ComposedImage(), kOkPlace, strip, 3, kLabelArea), 2);
}

TEST(MessageDialog, ModalRunEndsByButtonEscapeEnterOrClose) {
    {
        CMessageDlg dialog;
        EXPECT_TRUE(nb::test::ExecWith(dialog, [&] { nb::test::Click(dialog.OkButton()); }));
    }
    {
        CMessageDlg dialog;
        EXPECT_TRUE(nb::test::ExecWith(dialog, [&] { nb::test::SendKey(&dialog, Qt::Key_Escape); }));
    }
    {
        CMessageDlg dialog;
        EXPECT_TRUE(nb::test::ExecWith(dialog, [&] { nb::test::SendKey(&dialog, Qt::Key_Return); }));
    }
    {
        CMessageDlg dialog;
        EXPECT_TRUE(nb::test::ExecWith(dialog, [&] { dialog.close(); }));
    }
}

TEST(MessageDialog, EscapeOnTheFocusedButtonIsSwallowed) {
    CMessageDlg dialog;
    dialog.show();
    nb::test::SendKey(dialog.OkButton(), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_TRUE(dialog.isVisible());
}

}  // namespace
