#pragma once
#include <QString>
#include <QWidget>

namespace nb {

// What a web panel shows where no browser can show its page: the panel's place stays
// filled, with a short note and the address that would have been shown.
class WebPageUnavailable : public QWidget {
    Q_OBJECT
public:
    static constexpr QRgb kFill = 0xFF0B1024u;
    static constexpr QRgb kTextColour = 0xFF8FA8C8u;

    // `visible` is the part of this widget that the panel does not cut off.
    WebPageUnavailable(QWidget* parent, const QString& url, const QRect& visible);

    const QString& Url() const { return m_url; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_url;
    QRect m_visible;
};

}  // namespace nb
