#pragma once
// Window layouts are given in twips; 15 twips are one device-independent pixel.

#include <QRect>
#include <QSize>

#include <cmath>

namespace twips {

constexpr int kTwipsPerPixel = 15;

inline int toPixels(int value) {
    return static_cast<int>(std::lround(value / double(kTwipsPerPixel)));
}

inline QRect rect(int left, int top, int width, int height) {
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

inline QSize size(int width, int height) {
    return QSize(toPixels(width), toPixels(height));
}

} // namespace twips
