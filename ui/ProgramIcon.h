#pragma once

#include <QIcon>
#include <QImage>

class QPainter;

namespace kelmo::ui {

// The program's icon, drawn in a square of the given side: a charge on the ground, its fireball
// and the fronts of the blast wave under a dark sky. The installed SVG and PNG icons are drawn
// by the same code, so the menu entry and the windows show the same picture.
void paintProgramIcon(QPainter& painter, double side);

// The icon as a picture of side × side pixels with a transparent corner.
QImage programIconImage(int side);

// The icon in the usual sizes, for every window.
QIcon programIcon();

// The sizes of the installed PNG icons.
inline constexpr int kProgramIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

} // namespace kelmo::ui
