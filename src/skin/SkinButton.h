#pragma once
#include <QWidget>

#include "skin/SkinImage.h"

namespace nb {

class SkinButtonOwner;
class SkinCanvas;

// The launcher's one button: an invisible child widget of exactly one frame's size that
// tracks the mouse, keeps the button's state, and picks the frame of its picture strip that
// fits that state. Its owner draws that frame into the window's composition (DrawTo).
//
// Plain button frames: 0 normal, 1 mouse over, 2 pressed. A toggle button shows its
// selected frame once pressed with the mouse over it and keeps it until SetSelected(false).
// With the keyboard focus, Space down presses the button and Space up clicks it. Where
// buttons of one parent overlap, the one created first is on top.
//
// Lifetime: created hidden by CreateFromPng; the creator sets the owner and shows the buttons
// that take input. A window that keeps its buttons in smart pointers must release them
// before QWidget's destructor deletes the children (members of the derived window are).
class SkinButton : public QWidget {
    Q_OBJECT
public:
    explicit SkinButton(QWidget* parent = nullptr);
    ~SkinButton() override;

    // Loads picture `imageId` as a strip of `frameCount` frames and becomes a hidden child of
    // `parent` at (x, y), one frame in size. A missing picture gives a 0 x 0 button that
    // draws nothing and that no click can reach. Always true.
    bool CreateFromPng(unsigned frameCount, int x, int y, int imageId, int controlId, QWidget* parent,
                       bool toggle);
    // The same with a picture already in memory.
    bool CreateFromImage(const SkinImage& strip, unsigned frameCount, int x, int y, int controlId,
                         QWidget* parent, bool toggle);

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
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
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
};

}  // namespace nb
