#pragma once
#include <memory>

#include "SkinNative.h"
#include "skin/SkinImage.h"
#include "skin/SkinTypes.h"

namespace nb {

class LayeredWindow;
class SkinButtonOwner;
class SkinCanvas;

// The launcher's one button: an invisible input-only child window of exactly one frame's
// size that tracks the mouse, keeps the button's state, and picks the frame of its picture
// strip that fits that state. Its owner draws that frame into the window's composition
// (DrawTo). The backend (SkinButtonNative) delivers the mouse and keys.
//
// Plain button frames: 0 normal, 1 mouse over, 2 pressed. A toggle button shows its
// selected frame once pressed with the mouse over it and keeps it until SetSelected(false).
// With the keyboard focus, Space down presses the button and Space up clicks it. Where
// buttons of one parent overlap, the one created first is on top.
//
// Lifetime: created hidden by CreateFromPng; the creator sets the owner and shows the buttons
// that take input (ShowInput). The window that creates a button deletes it.
class SkinButton : public SkinButtonNative {
public:
    SkinButton();
    ~SkinButton() override;

    // Loads picture `imageId` as a strip of `frameCount` frames and becomes a hidden child of
    // `parent` at (x, y), one frame in size. A missing picture gives a 0 x 0 button that
    // draws nothing and that no click can reach. Always true.
    bool CreateFromPng(unsigned frameCount, int x, int y, int imageId, int controlId, LayeredWindow* parent,
                       bool toggle);
    // The same with a picture already in memory.
    bool CreateFromImage(const SkinImage& strip, unsigned frameCount, int x, int y, int controlId,
                         LayeredWindow* parent, bool toggle);

    void SetOwner(SkinButtonOwner* owner) { m_pOwner = owner; }
    SkinButtonOwner* Owner() const { return m_pOwner; }

    // Toggle buttons: whether hovering shows `hoverFrame`, and the frames of the three looks.
    void SetToggleFrames(bool hoverSwitch, int unselectedFrame, int hoverFrame, int selectedFrame);
    // Selected or unselected look at once; the owner is not told (its caller repaints).
    void SetSelected(bool selected);

    // Picks the frame for the current hover and press state and asks the owner to redraw.
    void UpdateFrame();

    // Draws the current frame at the button's place in its parent; nothing before
    // CreateFromPng (frame -1).
    void DrawTo(SkinCanvas& canvas) const;

    int ControlId() const { return m_nControlId; }
    int CurrentFrame() const { return m_nCurrentFrame; }
    int ToggleFrame() const { return m_nToggleFrame; }
    bool IsHover() const { return m_bHover; }
    bool IsPressed() const { return m_bPressed; }
    bool IsToggle() const { return m_bToggle; }
    unsigned FrameWidth() const { return m_nFrameWidth; }
    unsigned FrameHeight() const { return m_nFrameHeight; }
    unsigned FrameCount() const { return m_nFrameCount; }
    const SkinImage& Image() const { return m_image; }

protected:
    void OnPointerMove(Point local) override;
    void OnPointerLeave() override;
    void OnLeftDown() override;
    void OnLeftUp(Point local) override;
    bool OnKeyDown(SkinKey key, bool plain, bool repeat) override;
    bool OnKeyUp(SkinKey key, bool repeat) override;
    void OnFocusLost() override;

private:
    bool Inside(Point local) const;
    // Redraws and reports a click; the owner may delete this button on the way, so nothing
    // of it is touched once the owner has been called.
    void FinishClick(bool click);

    SkinButtonOwner* m_pOwner = nullptr;
    SkinImage m_image;
    unsigned m_nFrameWidth = 0;
    unsigned m_nFrameHeight = 0;
    unsigned m_nFrameCount = 0;
    int m_nCurrentFrame = -1;
    bool m_bHover = false;
    bool m_bPressed = false;
    bool m_bTracking = false;
    bool m_bSpaceDown = false;  // pressed from the keyboard: its release is the click
    bool m_bToggle = false;
    int m_nToggleFrame = 0;
    int m_nUnselectedFrame = 0;
    int m_nHoverFrame = 1;
    int m_nSelectedFrame = 2;
    bool m_bHoverSwitch = true;
    int m_nControlId = 0;
    // Reset when the button goes: a caller holding a copy sees whether it still exists.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

}  // namespace nb
