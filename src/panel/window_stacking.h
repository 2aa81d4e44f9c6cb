#pragma once

#include <QtGlobal>

class QWidget;

// Window stacking: keeps a top-level window above all others or releases it.
constexpr qint32 HWND_TOPMOST = -1;
constexpr qint32 HWND_NOTOPMOST = -2;
constexpr qint32 SWP_NOSIZE = 1;
constexpr qint32 SWP_NOMOVE = 2;

// Puts the window above all others (HWND_TOPMOST) or back into normal stacking
// (HWND_NOTOPMOST); it is moved to x, y and resized to cx, cy unless the flags
// say otherwise. The window stays shown throughout.
void SetWindowPos(QWidget* window, qint32 insert_after, int x, int y, int cx, int cy, qint32 flags);
