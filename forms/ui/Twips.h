#pragma once

#include <QRect>

// Window layouts are drawn in twips; 15 of them make one device-independent pixel.
constexpr int twipsPerPixel = 15;

// A rectangle given in twips, in device-independent pixels.
inline QRect pixelsFromTwips(int left, int top, int width, int height)
{
    return QRect(left / twipsPerPixel, top / twipsPerPixel, width / twipsPerPixel,
                 height / twipsPerPixel);
}
