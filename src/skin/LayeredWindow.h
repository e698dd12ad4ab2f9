#pragma once
#include <QDialog>
#include <QImage>
#include <functional>

#include "skin/SkinCanvas.h"
#include "skin/SkinImage.h"

namespace nb {

// Base of every skinned window: a frameless top-level dialog with a translucent background
// that shows one composed picture, per-pixel alpha included. LayeredRepaint composes the
// whole window into an image of the background's size and the window takes that size; the
// screen only ever receives a copy of that image (paintEvent). Child widgets (the skinned
// buttons) paint nothing: what the user sees of them is what the composition drew.
//
//   void MyWindow::RequestRedraw(SkinButton*) {
//       LayeredRepaint(m_background, [&](SkinCanvas& canvas) {
//           m_closeButton->DrawTo(canvas);
//           canvas.DrawText(m_text, 60, 55, 15, 0xFD029DFFu);
//       });
//   }
class LayeredWindow : public QDialog {
    Q_OBJECT
public:
    // What the window is to the window manager. A dialog goes with its owner; the main window
    // of a run (the update window, the main launcher window) is an ordinary window, so that it
    // gets a task-bar entry and can be minimised and restored.
    enum class Kind { kDialog, kMainWindow };

    explicit LayeredWindow(QWidget* parent = nullptr, Kind kind = Kind::kDialog);
    ~LayeredWindow() override;

    // The picture the window shows; null before the first successful repaint.
    const QImage& ComposedImage() const { return m_composed; }

protected:
    // Composes the window: a fully transparent image of the background's size, the background
    // at (0, 0), then `steps` in their order. The window becomes exactly that size and its
    // input shape follows the background's opaque pixels. With an empty background nothing is
    // composed and the window keeps its previous look and size (false). A repaint asked for
    // from within `steps` (a step changed a button) runs this composition again once it is done.
    bool LayeredRepaint(const SkinImage& background, const std::function<void(SkinCanvas&)>& steps);

    void paintEvent(QPaintEvent* event) override;

private:
    void UpdateShape(const SkinImage& background);

    QImage m_composed;
    qint64 m_shapeKey = 0;  // the background the input shape was made from
    bool m_bComposing = false;
    bool m_bRecompose = false;
};

}  // namespace nb
