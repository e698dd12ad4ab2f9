#include "ui/SkinLineEdit.h"

#include <QPainter>
#include <QPalette>

#include "app/TextEncoding.h"
#include "skin/SkinImage.h"
#include "skin/SkinText.h"

namespace nb {
namespace {
constexpr int kFieldBitmap = 162;
// The boxes' font is asked for by its cell height of 18 pixels; Times New Roman's em is
// about 16 pixels of that cell.
constexpr int kEditFontPixels = 16;
}  // namespace

SkinLineEdit::SkinLineEdit(QColor textColour, QWidget* parent)
    : QLineEdit(parent),
      m_background(QPixmap::fromImage(LoadSkinImage(kFieldBitmap, SkinResourceType::Bitmap).Native())) {
    setFrame(false);
    setFont(SkinFont(kEditFontPixels));
    QPalette colours = palette();
    // The style's own panel stays invisible: the bitmap painted below is the background.
    colours.setColor(QPalette::Base, Qt::transparent);
    colours.setColor(QPalette::Text, textColour);
    colours.setColor(QPalette::Highlight, textColour);
    colours.setColor(QPalette::HighlightedText, Qt::black);
    setPalette(colours);
    setAttribute(Qt::WA_MacShowFocusRect, false);
}

std::string SkinLineEdit::GbkText() const {
    return Utf16ToGbk(text().toStdU16String());
}

void SkinLineEdit::paintEvent(QPaintEvent* event) {
    if (!m_background.isNull()) {
        QPainter painter(this);
        painter.drawTiledPixmap(rect(), m_background);
    }
    QLineEdit::paintEvent(event);
}

}  // namespace nb
