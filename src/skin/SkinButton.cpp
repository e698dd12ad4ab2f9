#include "skin/SkinButton.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>

#include "skin/SkinButtonOwner.h"
#include "skin/SkinCanvas.h"

namespace nb {

SkinButton::SkinButton(QWidget* parent) : QWidget(parent) {
    // Input only: the owner's composition shows the button, so no background is ever painted.
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setMouseTracking(true);  // moves without a pressed button are what reveal hover
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::ClickFocus);
    hide();
}

SkinButton::~SkinButton() = default;

bool SkinButton::CreateFromPng(unsigned frameCount, int x, int y, int imageId, int controlId, QWidget* parent,
                               bool toggle) {
    return CreateFromImage(LoadSkinImage(imageId), frameCount, x, y, controlId, parent, toggle);
}

bool SkinButton::CreateFromImage(const SkinImage& strip, unsigned frameCount, int x, int y, int controlId,
                                 QWidget* parent, bool toggle) {
    m_image = strip;
    m_nFrameWidth = static_cast<unsigned>(m_image.FrameWidth(frameCount));
    m_nFrameHeight = static_cast<unsigned>(m_image.Height());
    m_nControlId = controlId;
    if (parent != parentWidget()) setParent(parent);
    // Where buttons overlap, the one created first takes the click (the minimise orb's right
    // edge lies under the close button's rectangle): each new button goes under the others.
    lower();
    // Created without the visible style: the creator decides which buttons take input.
    hide();
    setGeometry(x, y, static_cast<int>(m_nFrameWidth), static_cast<int>(m_nFrameHeight));
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
    const QRectF destination(geometry());
    canvas.DrawImagePart(m_image, destination, m_nCurrentFrame * static_cast<int>(m_nFrameWidth), 0,
                         static_cast<int>(m_nFrameWidth), static_cast<int>(m_nFrameHeight));
}

void SkinButton::mouseMoveEvent(QMouseEvent* event) {
    // Hover shows with the first movement over the button. While the left button is held the
    // moves keep coming from outside too; they change nothing until the release.
    m_bTracking = true;
    if (!m_bHover && rect().contains(event->position().toPoint())) {
        m_bHover = true;
        UpdateFrame();
    }
    event->accept();
}

void SkinButton::leaveEvent(QEvent* event) {
    m_bHover = false;
    m_bTracking = false;
    UpdateFrame();
    QWidget::leaveEvent(event);
}

void SkinButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_bPressed = true;
    UpdateFrame();
    event->accept();
}

void SkinButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    const bool wasPressed = m_bPressed;
    const bool inside = rect().contains(event->position().toPoint());
    m_bPressed = false;
    if (!inside) m_bHover = false;
    // The owner may delete this button from its redraw or its command handler; nothing of
    // the button is touched after it could have gone.
    QPointer<SkinButton> self(this);
    SkinButtonOwner* owner = m_pOwner;
    const int controlId = m_nControlId;
    UpdateFrame();
    if (self && owner && wasPressed && inside) owner->OnCommand(controlId);
}

void SkinButton::keyPressEvent(QKeyEvent* event) {
    // A focused button must not let Escape reach the dialog, which would close on it.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    // Space presses a focused button and its release clicks it, like any push button; a held
    // key's repeats press nothing more.
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        event->accept();
        if (!event->isAutoRepeat() && !m_bSpaceDown) {
            m_bSpaceDown = true;
            m_bPressed = true;
            UpdateFrame();
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

void SkinButton::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Space) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    event->accept();
    if (event->isAutoRepeat() || !m_bSpaceDown) return;
    m_bSpaceDown = false;
    m_bPressed = false;
    // A click from the keyboard selects a toggle button as a click with the mouse does.
    if (m_bToggle) SetSelected(true);
    QPointer<SkinButton> self(this);
    SkinButtonOwner* owner = m_pOwner;
    const int controlId = m_nControlId;
    UpdateFrame();
    if (self && owner) owner->OnCommand(controlId);
}

void SkinButton::focusOutEvent(QFocusEvent* event) {
    // Focus taken away while Space is held lets the button go without a click.
    if (m_bSpaceDown) {
        m_bSpaceDown = false;
        m_bPressed = false;
        UpdateFrame();
    }
    QWidget::focusOutEvent(event);
}

void SkinButton::paintEvent(QPaintEvent*) {}

}  // namespace nb
