#pragma once

namespace nb {

class SkinButton;

// Implemented by every window that owns skinned buttons (as a second base beside
// LayeredWindow). A button never paints itself: it asks its owner to recompose the window
// whenever its frame changes, and reports a completed click with its control id.
class SkinButtonOwner {
public:
    virtual ~SkinButtonOwner() = default;

    // The button's look changed; the owner recomposes the whole window (the button's
    // DrawTo is one of the composition's steps).
    virtual void RequestRedraw(SkinButton* button) = 0;

    // A press and release inside button `controlId`, after the redraw of the release. The
    // button may be deleted by this call.
    virtual void OnCommand(int controlId) = 0;
};

}  // namespace nb
