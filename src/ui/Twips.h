#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <algorithm>
#include <cmath>

// Window and control geometry is given in twips: 1440 to the inch, 15 to a logical pixel.
namespace Twips {
constexpr int PerPixel = 15;

// Far beyond any screen, and small enough that a widget's corner plus its size stays an int.
constexpr int MaxPixels = 16777215;

// A stored position may be anything a hand-edited settings file holds; it is placed as far out
// as the window system goes, never wrapped round.
inline int toPixels(double twips)
{
    if (std::isnan(twips))
        return 0;
    const double pixels = std::clamp(twips / PerPixel, double(-MaxPixels), double(MaxPixels));
    return static_cast<int>(std::lround(pixels));
}
inline float fromPixels(int pixels)
{
    return static_cast<float>(double(pixels) * PerPixel);
}
inline QRect rect(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}
inline QSize size(int width, int height)
{
    return QSize(toPixels(width), toPixels(height));
}
} // namespace Twips
