#include "window_stacking.h"

#include <QWidget>
#include <QWindow>

void SetWindowPos(QWidget* window, qint32 insert_after, int x, int y, int cx, int cy,
                  qint32 flags) {
    QWindow* handle = window->windowHandle();
    if (handle && (insert_after == HWND_TOPMOST || insert_after == HWND_NOTOPMOST)) {
        // Set on the native window: QWidget::setWindowFlag would hide the
        // window and create a new one.
        handle->setFlag(Qt::WindowStaysOnTopHint, insert_after == HWND_TOPMOST);
    }
    if (!(flags & SWP_NOMOVE)) window->move(x, y);
    if (!(flags & SWP_NOSIZE)) window->resize(cx, cy);
}
