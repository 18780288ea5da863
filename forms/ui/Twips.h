#pragma once

#include <QRect>

// Window layouts are drawn in twips; 15 of them make one device-independent pixel.
constexpr int twipsPerPixel = 15;

inline QRect twips(int left, int top, int width, int height)
{
    return QRect(left / twipsPerPixel, top / twipsPerPixel, width / twipsPerPixel,
                 height / twipsPerPixel);
}
