#pragma once
#include <cstdint>

// Plain values the windows and the skin toolkit exchange: places and sizes in pixels, the few
// keys the windows answer, what kind of window a surface is. No window system type appears
// in the windows' code; each backend converts at its edge.
namespace nb {

struct Point {
    int x = 0;
    int y = 0;
    friend constexpr Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
    friend constexpr Point operator-(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
    friend constexpr bool operator==(Point a, Point b) = default;
};

struct Size {
    int width = 0;
    int height = 0;
    constexpr bool IsEmpty() const { return width <= 0 || height <= 0; }
    friend constexpr bool operator==(Size a, Size b) = default;
};

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    constexpr Rect() = default;
    constexpr Rect(int left, int top, int w, int h) : x(left), y(top), width(w), height(h) {}
    constexpr Rect(Point origin, Size size) : x(origin.x), y(origin.y), width(size.width), height(size.height) {}
    constexpr Point Origin() const { return {x, y}; }
    constexpr Size Extent() const { return {width, height}; }
    constexpr bool IsEmpty() const { return width <= 0 || height <= 0; }
    constexpr bool Contains(Point p) const { return p.x >= x && p.y >= y && p.x < x + width && p.y < y + height; }
    constexpr bool Contains(const Rect& r) const {
        return r.x >= x && r.y >= y && r.x + r.width <= x + width && r.y + r.height <= y + height;
    }
    // The middle pixel, rounded towards the top-left as window systems centre.
    constexpr Point Centre() const { return {x + (width - 1) / 2, y + (height - 1) / 2}; }
    friend constexpr bool operator==(const Rect& a, const Rect& b) = default;
};

// The keys a window reacts to; everything else is Other and goes its ordinary way.
enum class SkinKey { Other, Escape, Enter, Space, Tab };

// What a window is to the window system. A dialog goes with its owner; the main window of a
// run (the update window, the main launcher window) is an ordinary window with a task-bar
// entry that can be minimised and restored.
enum class SkinWindowKind { Dialog, MainWindow };

// Colours are 0xAARRGGBB throughout.
using SkinColour = std::uint32_t;

}  // namespace nb

namespace nb {

// Where a web panel sits and what of its page is visible. The page's rectangle reaches past
// the panel's edges so that the browser's outer border and scroll strips are cut off.
struct WebPanelLayout {
    Size size;         // the panel on the screen
    Point offset;      // from the owner's client origin
    Rect controlRect;  // the page inside the panel
};

}  // namespace nb
