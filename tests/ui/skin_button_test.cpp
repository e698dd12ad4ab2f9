// The skinned button driven by synthetic mouse and key events through every state change,
// with the frame its owner composes at the button's place checked pixel by pixel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <functional>
#include <string>
#include <vector>

#include "skin/LayeredWindow.h"
#include "skin/qt/QtSkin.h"
#include "skin/SkinButton.h"
#include "skin/SkinButtonOwner.h"
#include "skin/SkinCanvas.h"

namespace {

using nb::SkinButton;
using nb::SkinImage;

// Frame k of the test strips is solid kFrameColours[k], so the composed pixel names the frame.
const QRgb kFrameColours[] = {qRgb(200, 0, 0),   qRgb(0, 200, 0),   qRgb(0, 0, 200),
                              qRgb(200, 200, 0), qRgb(0, 200, 200), qRgb(200, 0, 200)};

SkinImage SolidStrip(int frames, int frameWidth, int height) {
    QImage image(frameWidth * frames, height, QImage::Format_ARGB32);
    for (int k = 0; k < frames; ++k)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < frameWidth; ++x) image.setPixel(k * frameWidth + x, y, kFrameColours[k]);
    return nb::SkinImageFromQt(image);
}

SkinImage Backdrop() {
    QImage image(300, 200, QImage::Format_ARGB32);
    image.fill(qRgb(10, 10, 10));
    return nb::SkinImageFromQt(image);
}

// A skinned window that records what its buttons ask of it.
class OwnerWindow : public nb::LayeredWindow, public nb::SkinButtonOwner {
public:
    explicit OwnerWindow(SkinImage background) : m_background(std::move(background)) {}

    void RequestRedraw(SkinButton* button) override {
        events.push_back("redraw " + std::to_string(button->CurrentFrame()));
        Compose();
    }
    void OnCommand(int controlId) override {
        events.push_back("command " + std::to_string(controlId));
        commands.push_back(controlId);
        if (onCommand) onCommand(controlId);
    }
    void Compose() {
        LayeredRepaint(m_background, [this](nb::SkinCanvas& canvas) {
            for (SkinButton* b : buttons)
                if (b) b->DrawTo(canvas);
        });
    }
    SkinButton* Add(unsigned frames, int x, int y, int controlId, bool toggle, const SkinImage& strip) {
        auto* button = new SkinButton();
        button->CreateFromImage(strip, frames, x, y, controlId, this, toggle);
        button->SetOwner(this);
        button->show();
        buttons.push_back(button);
        return button;
    }
    // The frame composed at (x, y): the index of its colour, -1 for anything else.
    int FrameAt(int x, int y) const {
        const QRgb p = ComposedImage().pixel(x, y);
        for (int k = 0; k < 6; ++k)
            if (p == kFrameColours[k]) return k;
        return -1;
    }

    std::vector<QPointer<SkinButton>> buttons;
    std::vector<std::string> events;
    std::vector<int> commands;
    std::function<void(int)> onCommand;

private:
    SkinImage m_background;
};

void Mouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::NoButton) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
    QMouseEvent event(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}
void Move(QWidget* w, QPoint pos) {
    Mouse(w, QEvent::MouseMove, pos);
}
void Press(QWidget* w, QPoint pos) {
    Mouse(w, QEvent::MouseButtonPress, pos, Qt::LeftButton);
}
void Release(QWidget* w, QPoint pos) {
    Mouse(w, QEvent::MouseButtonRelease, pos, Qt::LeftButton);
}
void Leave(QWidget* w) {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(w, &event);
}

const QPoint kInside(5, 5);
const QPoint kOutside(-20, 40);

class SkinButtonTest : public ::testing::Test {
protected:
    SkinButtonTest() : window(Backdrop()) {
        window.Compose();
        window.show();
    }
    OwnerWindow window;
};

TEST_F(SkinButtonTest, CreationMakesAHiddenInputWidgetOfOneFrame) {
    SkinButton button;
    EXPECT_EQ(button.CurrentFrame(), -1);
    button.CreateFromImage(SolidStrip(3, 42, 39), 3, 790, 34, 2001, &window, false);
    EXPECT_EQ(button.parentWidget(), &window);
    EXPECT_TRUE(button.isHidden());
    EXPECT_EQ(button.geometry(), QRect(790, 34, 42, 39));
    EXPECT_EQ(button.CurrentFrame(), 0);
    EXPECT_EQ(button.ControlId(), 2001);
    EXPECT_EQ(button.cursor().shape(), Qt::PointingHandCursor);
    button.setParent(nullptr);
}

TEST_F(SkinButtonTest, PlainButtonWalksNormalHoverPressedAndReportsTheClickAfterTheRedraw) {
    SkinButton* b = window.Add(3, 40, 30, 2002, false, SolidStrip(3, 20, 10));
    window.Compose();
    EXPECT_EQ(window.FrameAt(40, 30), 0);
    EXPECT_EQ(window.FrameAt(59, 39), 0);
    EXPECT_EQ(window.FrameAt(60, 30), -1);  // one frame wide, no more

    Move(b, kInside);
    EXPECT_EQ(b->CurrentFrame(), 1);
    EXPECT_EQ(window.FrameAt(45, 35), 1);
    Move(b, QPoint(6, 6));  // further moves change nothing
    EXPECT_EQ(window.events.size(), 1u);

    Press(b, kInside);
    EXPECT_EQ(window.FrameAt(45, 35), 2);
    EXPECT_TRUE(window.commands.empty());

    Release(b, kInside);
    EXPECT_EQ(window.FrameAt(45, 35), 1);
    EXPECT_EQ(window.events, (std::vector<std::string>{"redraw 1", "redraw 2", "redraw 1", "command 2002"}));

    Leave(b);
    EXPECT_EQ(window.FrameAt(45, 35), 0);
    EXPECT_FALSE(b->IsHover());
    EXPECT_EQ(window.commands, std::vector<int>{2002});
}

TEST_F(SkinButtonTest, PressMoveOffAndReleaseOutsideGivesNormalAndNoCommand) {
    SkinButton* b = window.Add(3, 40, 30, 2003, false, SolidStrip(3, 20, 10));
    Move(b, kInside);
    Press(b, kInside);
    Move(b, kOutside);  // still held: the pressed look stays until the release
    EXPECT_EQ(window.FrameAt(45, 35), 2);
    Release(b, kOutside);
    EXPECT_EQ(window.FrameAt(45, 35), 0);
    EXPECT_FALSE(b->IsPressed());
    EXPECT_TRUE(window.commands.empty());
    // Coming back shows hover again.
    Leave(b);
    Move(b, kInside);
    EXPECT_EQ(window.FrameAt(45, 35), 1);
}

TEST_F(SkinButtonTest, OnlyALeftPressAndReleaseInsideIsAClick) {
    SkinButton* b = window.Add(3, 40, 30, 2004, false, SolidStrip(3, 20, 10));
    Move(b, kInside);
    Mouse(b, QEvent::MouseButtonPress, kInside, Qt::RightButton);
    Mouse(b, QEvent::MouseButtonRelease, kInside, Qt::RightButton);
    EXPECT_EQ(window.FrameAt(45, 35), 1);
    Release(b, kInside);  // a release without a press on the button
    EXPECT_TRUE(window.commands.empty());
    Press(b, kInside);
    Release(b, kInside);
    Press(b, kInside);
    Release(b, kInside);
    EXPECT_EQ(window.commands, (std::vector<int>{2004, 2004}));
}

TEST_F(SkinButtonTest, ToggleTabShowsHoverThenStaysSelected) {
    SkinButton* tab = window.Add(3, 100, 50, 2011, true, SolidStrip(3, 20, 10));
    tab->SetToggleFrames(true, 0, 1, 2);
    Move(tab, kInside);
    EXPECT_EQ(window.FrameAt(105, 55), 1);
    Press(tab, kInside);
    EXPECT_EQ(window.FrameAt(105, 55), 2);
    EXPECT_EQ(tab->ToggleFrame(), 2);
    Release(tab, kInside);
    EXPECT_EQ(window.FrameAt(105, 55), 1);  // hovered, so the hover frame shows
    EXPECT_EQ(window.commands, std::vector<int>{2011});
    Leave(tab);
    EXPECT_EQ(window.FrameAt(105, 55), 2);  // selected once the mouse is gone

    // Unselecting does not ask for a redraw; the caller recomposes.
    const size_t before = window.events.size();
    tab->SetSelected(false);
    EXPECT_EQ(window.events.size(), before);
    EXPECT_EQ(tab->CurrentFrame(), 0);
    window.Compose();
    EXPECT_EQ(window.FrameAt(105, 55), 0);
    tab->SetSelected(true);
    window.Compose();
    EXPECT_EQ(window.FrameAt(105, 55), 2);
}

TEST_F(SkinButtonTest, ServerButtonWithoutHoverLookKeepsItsSelectionThroughEverything) {
    // Six frames; the selected look of a busy server is frame 3.
    SkinButton* s = window.Add(6, 10, 100, 2020, true, SolidStrip(6, 30, 12));
    s->SetToggleFrames(false, 0, 1, 1 + 2);
    Move(s, kInside);
    EXPECT_EQ(window.FrameAt(15, 105), 0);  // hovering leaves the frame as it was
    Press(s, kInside);
    Release(s, kInside);
    EXPECT_EQ(window.FrameAt(15, 105), 3);
    Press(s, kInside);  // pressed twice: stays selected
    Release(s, kInside);
    Leave(s);
    EXPECT_EQ(window.FrameAt(15, 105), 3);
    EXPECT_EQ(window.commands, (std::vector<int>{2020, 2020}));

    // Pressed on an unselected button and released outside: selected, but no command.
    s->SetSelected(false);
    window.commands.clear();
    Move(s, kInside);
    Press(s, kInside);
    Release(s, kOutside);
    Leave(s);
    EXPECT_EQ(window.FrameAt(15, 105), 3);
    EXPECT_TRUE(window.commands.empty());
}

TEST_F(SkinButtonTest, EscapeIsSwallowedByAFocusedButton) {
    SkinButton* b = window.Add(3, 40, 30, 2011, false, SolidStrip(3, 20, 10));
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(b, &escape);
    EXPECT_TRUE(escape.isAccepted());
    EXPECT_TRUE(window.isVisible());  // the dialog did not close
    // Other keys pass on to the window.
    QKeyEvent other(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    QApplication::sendEvent(b, &other);
    EXPECT_FALSE(other.isAccepted());
    // Sent to the dialog itself, Escape does close it: the check above can fail.
    QKeyEvent direct(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&window, &direct);
    EXPECT_FALSE(window.isVisible());
}

void Key(QWidget* w, QEvent::Type type, int key, bool autoRepeat = false) {
    QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
    QApplication::sendEvent(w, &event);
}

TEST_F(SkinButtonTest, SpacePressesAFocusedButtonAndItsReleaseClicks) {
    SkinButton* b = window.Add(3, 40, 30, 2002, false, SolidStrip(3, 20, 10));
    Move(b, kInside);
    Key(b, QEvent::KeyPress, Qt::Key_Space);
    EXPECT_EQ(window.FrameAt(45, 35), 2);  // pressed look, no click yet
    Key(b, QEvent::KeyPress, Qt::Key_Space, true);
    Key(b, QEvent::KeyRelease, Qt::Key_Space, true);  // a held key's repeats
    EXPECT_TRUE(window.commands.empty());
    Key(b, QEvent::KeyRelease, Qt::Key_Space);
    EXPECT_EQ(window.commands, std::vector<int>{2002});
    EXPECT_EQ(window.FrameAt(45, 35), 1);
    EXPECT_EQ(window.events.back(), "command 2002");  // after the redraw, as a mouse click

    // A release without a press, and a press that loses the focus, click nothing.
    Key(b, QEvent::KeyRelease, Qt::Key_Space);
    Key(b, QEvent::KeyPress, Qt::Key_Space);
    QFocusEvent lost(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(b, &lost);
    Key(b, QEvent::KeyRelease, Qt::Key_Space);
    EXPECT_EQ(window.commands.size(), 1u);
    EXPECT_EQ(window.FrameAt(45, 35), 1);

    // A toggle button clicked from the keyboard is selected as by the mouse.
    SkinButton* tab = window.Add(3, 100, 30, 2011, true, SolidStrip(3, 20, 10));
    Key(tab, QEvent::KeyPress, Qt::Key_Space);
    Key(tab, QEvent::KeyRelease, Qt::Key_Space);
    EXPECT_EQ(window.commands, (std::vector<int>{2002, 2011}));
    EXPECT_EQ(tab->ToggleFrame(), 2);
    EXPECT_EQ(window.FrameAt(105, 35), 2);
}

TEST_F(SkinButtonTest, WhereButtonsOverlapTheOneCreatedFirstTakesTheClick) {
    SkinButton* first = window.Add(3, 40, 34, 2001, false, SolidStrip(3, 42, 38));
    SkinButton* second = window.Add(3, 70, 28, 2003, false, SolidStrip(3, 61, 61));
    EXPECT_EQ(window.childAt(75, 50), first);
    EXPECT_EQ(window.childAt(90, 50), second);
    // Created again, a button goes under the others once more.
    first->CreateFromImage(SolidStrip(3, 42, 38), 3, 40, 34, 2001, &window, false);
    first->show();
    EXPECT_EQ(window.childAt(75, 50), second);
}

TEST_F(SkinButtonTest, MissingPictureGivesAnEmptyButtonThatDrawsNothing) {
    SkinButton* b = new SkinButton();
    b->CreateFromPng(3, 40, 30, 99999, 2001, &window, false);
    b->SetOwner(&window);
    b->show();
    window.buttons.push_back(b);
    EXPECT_EQ(b->size(), QSize(0, 0));
    EXPECT_EQ(b->FrameWidth(), 0u);
    EXPECT_EQ(b->FrameHeight(), 0u);
    window.Compose();
    EXPECT_EQ(window.ComposedImage().pixel(40, 30), qRgb(10, 10, 10));
}

TEST_F(SkinButtonTest, ZeroFramesDoNotDivideByZero) {
    SkinButton* b = window.Add(0, 40, 30, 2001, false, SolidStrip(3, 20, 10));
    EXPECT_EQ(b->FrameWidth(), 0u);
    EXPECT_EQ(b->width(), 0);
    window.Compose();
    EXPECT_EQ(window.ComposedImage().pixel(40, 30), qRgb(10, 10, 10));
}

TEST_F(SkinButtonTest, OwnerMayDeleteTheButtonFromItsCommand) {
    SkinButton* b = window.Add(3, 40, 30, 2035, false, SolidStrip(3, 20, 10));
    window.onCommand = [&](int) { delete b; };
    Move(b, kInside);
    Press(b, kInside);
    Release(b, kInside);
    EXPECT_EQ(window.commands, std::vector<int>{2035});
    EXPECT_TRUE(window.buttons.back().isNull());
    window.Compose();  // the rebuild after the command draws without it
}

TEST(SkinButtonPicture, StartOrbComposesEachStateFrameAtItsPlace) {
    OwnerWindow window(nb::LoadSkinImage(129));
    auto* orb = new SkinButton();
    orb->CreateFromPng(3, 800, 512, 133, 2002, &window, false);
    orb->SetOwner(&window);
    orb->show();
    window.buttons.push_back(orb);
    window.Compose();
    ASSERT_EQ(orb->geometry(), QRect(800, 512, 108, 108));

    const QImage& strip = nb::QtImage(orb->Image());
    // The orb's middle is opaque, so the composed pixel is the frame's own pixel.
    auto framePixel = [&](int frame, int x, int y) { return strip.pixel(frame * 108 + x, y); };
    ASSERT_EQ(qAlpha(framePixel(0, 30, 30)), 255);
    ASSERT_NE(framePixel(0, 30, 30), framePixel(1, 30, 30));
    ASSERT_NE(framePixel(1, 30, 30), framePixel(2, 30, 30));

    auto expectFrame = [&](int frame) {
        for (const QPoint p : {QPoint(30, 30), QPoint(54, 54), QPoint(80, 70)})
            EXPECT_EQ(window.ComposedImage().pixel(800 + p.x(), 512 + p.y()), framePixel(frame, p.x(), p.y()))
                << "frame " << frame << " at " << p.x() << "," << p.y();
    };
    expectFrame(0);
    Move(orb, QPoint(54, 54));
    expectFrame(1);
    Press(orb, QPoint(54, 54));
    expectFrame(2);
    Release(orb, QPoint(54, 54));
    expectFrame(1);
    Leave(orb);
    expectFrame(0);
    EXPECT_EQ(window.commands, std::vector<int>{2002});
}

}  // namespace
