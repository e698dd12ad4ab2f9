#pragma once
// Shared by the main window, server view and code dialog tests: a launcher context with
// numbered message texts, a LauncherUi that records what the windows ask for, synthetic mouse
// and key input, and a way to tell which frame of a strip a composed picture shows.
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <functional>
#include <type_traits>
#include <string>
#include <vector>

#include "RecordingUi.h"
#include "TestPaths.h"
#include "skin/qt/QtSkin.h"
#include "app/LauncherContext.h"
#include "skin/SkinImage.h"
#include "zones/ServerInfo.h"

namespace nb::test {

// Installs a context and a recording UI for one test and removes them afterwards; the test
// runs in a fresh temporary folder (the trace log and the service files land there).
class ScopedLauncher {
public:
    ScopedLauncher() : cwd(folder.Path()) {
        NumberMessages(context);
        SetTheContext(&context);
    }
    ~ScopedLauncher() { SetTheContext(nullptr); }
    ScopedLauncher(const ScopedLauncher&) = delete;
    ScopedLauncher& operator=(const ScopedLauncher&) = delete;

    ScopedTempDir folder;
    ScopedChdir cwd;
    LauncherContext context;
    RecordingUi ui;
};

inline ServerInfo Server(int id, const std::string& name, int state, int tag, const std::string& zone) {
    ServerInfo server;
    server.id = id;
    server.name = name;
    server.state = state;
    server.server_tag = tag;
    server.zone_name = zone;
    if (state != 3) server.fetch_url = "10.0.0." + std::to_string(id) + ":7000";
    return server;
}

// ---- input ----

inline void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}
inline void Hover(QWidget* w, QPoint pos = QPoint(3, 3)) {
    SendMouse(w, QEvent::MouseMove, pos, Qt::NoButton, Qt::NoButton);
}
inline void Press(QWidget* w, QPoint pos = QPoint(3, 3)) {
    SendMouse(w, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
}
inline void Release(QWidget* w, QPoint pos = QPoint(3, 3)) {
    SendMouse(w, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}
inline void Leave(QWidget* w) {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(w, &event);
}
// A click as the player makes it: over the widget, press, release, away.
inline void Click(QWidget* w, QPoint pos = QPoint(3, 3)) {
    Hover(w, pos);
    Press(w, pos);
    Release(w, pos);
    Leave(w);
}
inline void Key(QWidget* w, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

// ---- composed pictures ----

// Which frame of `strip` (frameCount frames) the composed picture shows with its top-left at
// `at`: the frame whose opaque pixels agree best, if more than half of them agree; -1 when
// none does. Text drawn over a frame spoils a few pixels, not half.
inline int FrameShownAt(const QImage& composed, const SkinImage& strip, unsigned frameCount, QPoint at) {
    const QImage& pixels = nb::QtImage(strip);
    const int width = strip.FrameWidth(frameCount);
    int best = -1;
    double bestShare = 0.5;
    for (int k = 0; k < static_cast<int>(frameCount); ++k) {
        int opaque = 0;
        int same = 0;
        for (int y = 0; y < pixels.height(); ++y) {
            for (int x = 0; x < width; ++x) {
                const QRgb source = pixels.pixel(k * width + x, y);
                if (qAlpha(source) != 255) continue;
                ++opaque;
                const QPoint target = at + QPoint(x, y);
                if (composed.rect().contains(target) && composed.pixel(target) == source) ++same;
            }
        }
        const double share = opaque ? static_cast<double>(same) / opaque : 0.0;
        if (share > bestShare) {
            bestShare = share;
            best = k;
        }
    }
    return best;
}

template <class Place>
    requires std::is_same_v<Place, nb::Point>
inline int FrameShownAt(const QImage& composed, const SkinImage& strip, unsigned frameCount, Place at) {
    return FrameShownAt(composed, strip, frameCount, nb::ToQt(at));
}

// How many pixels of a rectangle differ between two pictures of the same size.
inline int DifferingPixels(const QImage& a, const QImage& b, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) ++count;
    return count;
}

}  // namespace nb::test
