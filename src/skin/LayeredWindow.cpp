#include "skin/LayeredWindow.h"

namespace nb {

LayeredWindow::LayeredWindow(LayeredWindow* owner, Kind kind) : LayeredWindowNative(owner, kind) {}

LayeredWindow::~LayeredWindow() = default;

bool LayeredWindow::LayeredRepaint(const SkinImage& background, const std::function<void(SkinCanvas&)>& steps) {
    if (background.IsEmpty()) return false;
    // A step may change a button, whose owner then asks for a repaint while this one is still
    // drawing: run that repaint once this one is done, so the last picture shows the last state.
    if (m_bComposing) {
        m_bRecompose = true;
        return true;
    }
    m_bComposing = true;
    SkinImage picture;
    do {
        m_bRecompose = false;
        picture = SkinImage::Transparent(background.Width(), background.Height());
        if (picture.IsEmpty()) break;
        SkinCanvas canvas(picture);
        canvas.DrawImage(background, 0, 0);
        if (steps) steps(canvas);
    } while (m_bRecompose);
    m_bComposing = false;
    if (picture.IsEmpty()) return false;
    m_composed = picture;
    PresentComposed(m_composed, background);
    return true;
}

}  // namespace nb
