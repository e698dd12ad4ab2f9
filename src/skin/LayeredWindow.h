#pragma once
#include <functional>
#include <memory>

#include "SkinNative.h"
#include "skin/SkinCanvas.h"
#include "skin/SkinImage.h"
#include "skin/SkinTypes.h"

namespace nb {

// Base of every skinned window: a borderless window that shows one composed picture,
// per-pixel alpha included. LayeredRepaint composes the whole window into a picture of the
// background's size and the window takes that size; the screen only ever receives a copy of
// that picture. Child buttons paint nothing: what the user sees of them is what the
// composition drew. The backend (LayeredWindowNative) makes the window on the screen.
//
//   void MyWindow::RequestRedraw(SkinButton*) {
//       LayeredRepaint(m_background, [&](SkinCanvas& canvas) {
//           m_closeButton->DrawTo(canvas);
//           canvas.DrawText(m_text, 60, 55, 15, 0xFD029DFFu);
//       });
//   }
class LayeredWindow : public LayeredWindowNative {
public:
    using Kind = SkinWindowKind;

    explicit LayeredWindow(LayeredWindow* owner = nullptr, Kind kind = Kind::Dialog);
    ~LayeredWindow() override;

    // The picture the window shows; empty before the first successful repaint.
    const SkinImage& ComposedPicture() const { return m_composed; }

    // Expires when the window is destroyed: whoever keeps a pointer to the window without
    // owning it (a request of the worker) checks it before use.
    std::weak_ptr<const bool> Lifetime() const { return m_alive; }

protected:
    // Composes the window: a fully transparent picture of the background's size, the
    // background at (0, 0), then `steps` in their order. The window becomes exactly that size
    // and its input shape follows the background's visible pixels. With an empty background
    // nothing is composed and the window keeps its previous look and size (false). A repaint
    // asked for from within `steps` (a step changed a button) runs this composition again
    // once it is done.
    bool LayeredRepaint(const SkinImage& background, const std::function<void(SkinCanvas&)>& steps);

private:
    SkinImage m_composed;
    bool m_bComposing = false;
    bool m_bRecompose = false;
    std::shared_ptr<const bool> m_alive = std::make_shared<const bool>(true);
};

}  // namespace nb
