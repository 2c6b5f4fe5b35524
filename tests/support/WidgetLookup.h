#pragma once

#include <QString>
#include <QWidget>

namespace kelmo::test {

// The control of a window by its objectName; a missing control ends the test at once,
// since every later step would only report a null pointer.
template <typename T> T* child(QWidget* window, const char* name) {
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) {
        qFatal("no control %s", name);
    }
    return found;
}

} // namespace kelmo::test
