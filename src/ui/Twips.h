#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <cmath>

// Window and control geometry is given in twips: 1440 to the inch, 15 to a logical pixel.
namespace Twips {
constexpr int PerPixel = 15;

inline int toPixels(double twips)
{
    return static_cast<int>(std::lround(twips / PerPixel));
}
inline float fromPixels(int pixels)
{
    return static_cast<float>(pixels * PerPixel);
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
