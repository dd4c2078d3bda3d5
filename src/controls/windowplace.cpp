#include "controls/windowplace.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <array>

namespace halyx {

namespace {

// Room left for a window manager's frame and title around a window placed by its inside.
constexpr int kFrame = 40;
constexpr int kGap = 8;

QRect KeptOn(QRect rect, const QRect& screen) {
    rect.setSize(rect.size().boundedTo(screen.size()));
    rect.moveLeft(std::clamp(rect.left(), screen.left(), screen.right() - rect.width() + 1));
    rect.moveTop(std::clamp(rect.top(), screen.top(), screen.bottom() - rect.height() + 1));
    return rect;
}

QRect AvailableArea(const QWidget* over) {
    const QScreen* screen = over != nullptr ? over->window()->screen() : nullptr;
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

} // namespace

QRect CentredRect(QSize size, const QRect& over, const QRect& screen) {
    QRect rect(QPoint(0, 0), size.boundedTo(screen.size()));
    rect.moveCenter(over.isEmpty() ? screen.center() : over.center());
    return KeptOn(rect, screen);
}

QRect BesideRect(QSize size, const QRect& avoid, const QRect& screen) {
    // Room on each side of avoid: below, above, right, left.
    const std::array<int, 4> room = {
        screen.bottom() - avoid.bottom() - kGap, avoid.top() - screen.top() - kGap,
        screen.right() - avoid.right() - kGap, avoid.left() - screen.left() - kGap};
    const auto needed = [&](size_t side) { return side < 2 ? size.height() : size.width(); };
    size_t side = 0;
    while (side < room.size() && room[side] < needed(side)) {
        ++side;
    }
    if (side == room.size()) {
        side = static_cast<size_t>(std::max_element(room.begin(), room.end()) - room.begin());
    }
    const int fitted = std::max(0, std::min(needed(side), room[side]));
    QRect rect(QPoint(0, 0), side < 2 ? QSize(size.width(), fitted) : QSize(fitted, size.height()));
    rect.moveCenter(avoid.center());
    switch (side) {
    case 0:
        rect.moveTop(avoid.bottom() + kGap + 1);
        break;
    case 1:
        rect.moveBottom(avoid.top() - kGap - 1);
        break;
    case 2:
        rect.moveLeft(avoid.right() + kGap + 1);
        break;
    default:
        rect.moveRight(avoid.left() - kGap - 1);
        break;
    }
    return KeptOn(rect, screen);
}

void PlaceWindow(QWidget* window, const QWidget* over) {
    const QRect screen = AvailableArea(over).adjusted(0, 0, -kFrame / 2, -kFrame);
    const QRect overRect = over != nullptr ? over->window()->frameGeometry() : QRect();
    const QRect placed = CentredRect(window->size(), overRect, screen);
    window->resize(placed.size());
    window->move(placed.topLeft());
}

void MoveBeside(QWidget* window, const QRect& avoid) {
    const QRect frame = window->frameGeometry();
    if (!frame.intersects(avoid)) {
        return;
    }
    const QRect placed = BesideRect(frame.size(), avoid, AvailableArea(window));
    const QSize inside = placed.size() - (frame.size() - window->size());
    window->resize(inside.expandedTo(window->minimumSizeHint()));
    window->move(placed.topLeft());
}

} // namespace halyx
