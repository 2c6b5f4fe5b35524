#pragma once

#include <QPixmap>
#include <QSize>

namespace kelmo::shell {

// The program's own pictures, drawn when needed so that they scale with the window.
QPixmap cloudySky(const QSize& size);
QPixmap explosionDrawing(const QSize& size);

} // namespace kelmo::shell
