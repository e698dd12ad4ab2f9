#include "skin/SkinText.h"

#include "app/TextEncoding.h"

namespace nb {

QString SkinTextFromGbk(std::string_view gbk) {
    // The conversion stops at the terminating zero, as for a C string.
    const size_t nul = gbk.find('\0');
    if (nul != std::string_view::npos) gbk = gbk.substr(0, nul);
    return SkinTextCut(QString::fromStdU16String(GbkToUtf16(gbk)));
}

QString SkinTextCut(const QString& text) {
    if (text.size() <= kSkinTextMaxUnits) return text;
    qsizetype length = kSkinTextMaxUnits;
    if (text.at(length - 1).isHighSurrogate()) --length;
    return text.left(length);
}

QFont SkinFont(int pixelSize) {
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(pixelSize > 0 ? pixelSize : 1);
    font.setWeight(QFont::Normal);
    font.setStyle(QFont::StyleNormal);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

}  // namespace nb
