#include "skin/qt/WebPageUnavailable.h"

#include <QPainter>

#include "skin/SkinText.h"
#include "skin/qt/QtSkin.h"

namespace nb {
namespace {
// "无法显示此网页"
constexpr const char kCannotShow[] = "\xCE\xDE\xB7\xA8\xCF\xD4\xCA\xBE\xB4\xCB\xCD\xF8\xD2\xB3";
constexpr int kMargin = 10;
}  // namespace

WebPageUnavailable::WebPageUnavailable(QWidget* parent, const QString& url, const QRect& visible)
    : QWidget(parent), m_url(url), m_visible(visible) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void WebPageUnavailable::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgba(kFill));
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(QColor::fromRgba(kTextColour));
    const QRect area = m_visible.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    painter.setFont(SkinFont(14));
    const QRect title = painter.boundingRect(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                                             ToQt(SkinTextFromGbk(kCannotShow)));
    painter.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, ToQt(SkinTextFromGbk(kCannotShow)));
    painter.setFont(SkinFont(12));
    painter.drawText(area.adjusted(0, title.height() + 6, 0, 0),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere, m_url);
}

}  // namespace nb
