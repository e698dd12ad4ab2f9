#pragma once
#include <QColor>
#include <QLineEdit>
#include <QPixmap>
#include <string>

namespace nb {

// The edit box of the launcher's input panels: no frame, the edit-field bitmap (162) as its
// background with the text drawn over it in the panel's colour, the window font. What the
// player typed is read as code page 936 bytes.
class SkinLineEdit : public QLineEdit {
    Q_OBJECT
public:
    SkinLineEdit(QColor textColour, QWidget* parent);

    // The text as the launcher's strings hold it (code page 936); characters the code page
    // lacks become '?'.
    std::string GbkText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_background;
};

}  // namespace nb
