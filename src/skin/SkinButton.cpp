#include "skin/SkinButton.h"

#include "skin/LayeredWindow.h"
#include "skin/SkinButtonOwner.h"
#include "skin/SkinCanvas.h"

namespace nb {

SkinButton::SkinButton() = default;

SkinButton::~SkinButton() {
    *m_alive = false;
}

bool SkinButton::CreateFromPng(unsigned frameCount, int x, int y, int imageId, int controlId,
                               LayeredWindow* parent, bool toggle) {
    return CreateFromImage(LoadSkinImage(imageId), frameCount, x, y, controlId, parent, toggle);
}

bool SkinButton::CreateFromImage(const SkinImage& strip, unsigned frameCount, int x, int y, int controlId,
                                 LayeredWindow* parent, bool toggle) {
    m_image = strip;
    m_nFrameWidth = static_cast<unsigned>(m_image.FrameWidth(frameCount));
    m_nFrameHeight = static_cast<unsigned>(m_image.Height());
    m_nControlId = controlId;
    // Where buttons overlap, the one created first takes the click (the minimise orb's right
    // edge lies under the close button's rectangle): each new button goes under the others.
    AttachTo(parent);
    // Created without the visible style: the creator decides which buttons take input.
    HideInput();
    PlaceAt(Rect(x, y, static_cast<int>(m_nFrameWidth), static_cast<int>(m_nFrameHeight)));
    m_nFrameCount = frameCount;
    m_bToggle = toggle;
    m_nCurrentFrame = 0;
    return true;
}

void SkinButton::SetToggleFrames(bool hoverSwitch, int unselectedFrame, int hoverFrame, int selectedFrame) {
    m_bHoverSwitch = hoverSwitch;
    m_nUnselectedFrame = unselectedFrame;
    m_nHoverFrame = hoverFrame;
    m_nSelectedFrame = selectedFrame;
}

void SkinButton::SetSelected(bool selected) {
    m_nToggleFrame = selected ? m_nSelectedFrame : m_nUnselectedFrame;
    m_nCurrentFrame = m_nToggleFrame;
}

void SkinButton::UpdateFrame() {
    if (m_bToggle) {
        if (m_bHover && m_bPressed) {
            m_nCurrentFrame = m_nSelectedFrame;
            m_nToggleFrame = m_nSelectedFrame;
        } else if (m_bHover) {
            if (m_bHoverSwitch) m_nCurrentFrame = m_nHoverFrame;
        } else {
            m_nCurrentFrame = m_nToggleFrame;
        }
    } else if (m_bHover) {
        m_nCurrentFrame = m_bPressed ? 2 : 1;
    } else {
        m_nCurrentFrame = 0;
    }
    if (m_pOwner) m_pOwner->RequestRedraw(this);
}

void SkinButton::DrawTo(SkinCanvas& canvas) const {
    if (m_nCurrentFrame == -1) return;
    canvas.DrawImagePart(m_image, Place(), m_nCurrentFrame * static_cast<int>(m_nFrameWidth), 0,
                         static_cast<int>(m_nFrameWidth), static_cast<int>(m_nFrameHeight));
}

bool SkinButton::Inside(Point local) const {
    const Rect place = Place();
    return Rect(0, 0, place.width, place.height).Contains(local);
}

void SkinButton::OnPointerMove(Point local) {
    // Hover shows with the first movement over the button. While the left button is held the
    // moves keep coming from outside too; they change nothing until the release.
    m_bTracking = true;
    if (!m_bHover && Inside(local)) {
        m_bHover = true;
        UpdateFrame();
    }
}

void SkinButton::OnPointerLeave() {
    m_bHover = false;
    m_bTracking = false;
    UpdateFrame();
}

void SkinButton::OnLeftDown() {
    m_bPressed = true;
    UpdateFrame();
}

void SkinButton::OnLeftUp(Point local) {
    const bool wasPressed = m_bPressed;
    const bool inside = Inside(local);
    m_bPressed = false;
    if (!inside) m_bHover = false;
    FinishClick(wasPressed && inside);
}

void SkinButton::FinishClick(bool click) {
    const std::shared_ptr<bool> alive = m_alive;
    SkinButtonOwner* owner = m_pOwner;
    const int controlId = m_nControlId;
    UpdateFrame();
    if (*alive && owner && click) owner->OnCommand(controlId);
}

bool SkinButton::OnKeyDown(SkinKey key, bool plain, bool repeat) {
    // A focused button must not let Escape reach the dialog, which would close on it.
    if (key == SkinKey::Escape) return true;
    // Space presses a focused button and its release clicks it, like any push button; a held
    // key's repeats press nothing more.
    if (key == SkinKey::Space && plain) {
        if (!repeat && !m_bSpaceDown) {
            m_bSpaceDown = true;
            m_bPressed = true;
            UpdateFrame();
        }
        return true;
    }
    return false;
}

bool SkinButton::OnKeyUp(SkinKey key, bool repeat) {
    if (key != SkinKey::Space) return false;
    if (repeat || !m_bSpaceDown) return true;
    m_bSpaceDown = false;
    m_bPressed = false;
    // A click from the keyboard selects a toggle button as a click with the mouse does.
    if (m_bToggle) SetSelected(true);
    FinishClick(true);
    return true;
}

void SkinButton::OnFocusLost() {
    // Focus taken away while Space is held lets the button go without a click.
    if (m_bSpaceDown) {
        m_bSpaceDown = false;
        m_bPressed = false;
        UpdateFrame();
    }
}

}  // namespace nb
