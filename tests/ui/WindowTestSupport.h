// Shared by the window tests: synthetic input, waiting for the event loop, and reading what a
// window composed at a button's place.
#pragma once
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <vector>

#include "skin/SkinButton.h"
#include "skin/qt/QtSkin.h"
#include "skin/SkinImage.h"

namespace nb::test {

inline void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::NoButton) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
    QMouseEvent event(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}
inline void Hover(QWidget* w) {
    SendMouse(w, QEvent::MouseMove, QPoint(4, 4));
}
inline void PressOn(QWidget* w) {
    SendMouse(w, QEvent::MouseButtonPress, QPoint(4, 4), Qt::LeftButton);
}
inline void ReleaseOn(QWidget* w) {
    SendMouse(w, QEvent::MouseButtonRelease, QPoint(4, 4), Qt::LeftButton);
}
inline void Click(QWidget* w) {
    Hover(w);
    PressOn(w);
    ReleaseOn(w);
}
// Returns whether the key was accepted by `w` (or whoever handled it on the way).
inline bool SendKey(QWidget* w, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
    return event.isAccepted();
}

inline bool ProcessEventsUntil(const std::function<bool()>& done, int limitMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Runs `dialog` modally with `action` run from inside its loop. True when the loop ended
// through the action (false when the guard against a dialog that never closes ended it).
inline bool ExecWith(QDialog& dialog, const std::function<void()>& action) {
    bool guardFired = false;
    QTimer::singleShot(0, &dialog, action);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &dialog, [&] {
        guardFired = true;
        dialog.reject();
    });
    guard.start(20000);
    dialog.exec();
    return !guardFired;
}

// Which frame of `strip` (a strip of `frames`) the composed image shows at the button's
// place, judged at points of the frame that are opaque and differ between frames; -1 when
// none fits. `avoid` (button coordinates) is a region drawn over the button, such as a label.
inline int FrameShownAt(const QImage& composed, const QRect& place, const SkinImage& strip, unsigned frames,
                        const QRect& avoid = QRect()) {
    const int width = strip.FrameWidth(frames);
    if (width <= 0 || composed.isNull()) return -1;
    const QImage pixels = nb::QtImage(strip).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage shown = composed.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    std::vector<QPoint> probes;
    for (int y = 1; y < place.height() - 1; y += 3) {
        for (int x = 1; x < place.width() - 1; x += 3) {
            if (avoid.contains(x, y)) continue;
            bool usable = true;
            for (unsigned k = 0; k < frames && usable; ++k) {
                const QRgb p = pixels.pixel(static_cast<int>(k) * width + x, y);
                usable = qAlpha(p) == 255;
                for (unsigned j = 0; j < k && usable; ++j)
                    usable = pixels.pixel(static_cast<int>(j) * width + x, y) != p;
            }
            if (usable) probes.push_back(QPoint(x, y));
        }
    }
    if (probes.size() < 4) return -1;
    for (unsigned k = 0; k < frames; ++k) {
        bool all = true;
        for (const QPoint& p : probes)
            all = all && shown.pixel(place.topLeft() + p) ==
                             pixels.pixel(static_cast<int>(k) * width + p.x(), p.y());
        if (all) return static_cast<int>(k);
    }
    return -1;
}

// Whether any pixel of `area` differs between two images of the same size.
inline bool Differs(const QImage& a, const QImage& b, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) return true;
    return false;
}

}  // namespace nb::test
