#pragma once

#include <QRgb>

/** The opaque colours the picture tests compare pixels with. */
namespace testing_support::colours {

inline constexpr QRgb kBlack = 0xFF000000;
inline constexpr QRgb kWhite = 0xFFFFFFFF;
inline constexpr QRgb kRed = 0xFFFF0000;
inline constexpr QRgb kGreen = 0xFF00FF00;
inline constexpr QRgb kBlue = 0xFF0000FF;
inline constexpr QRgb kYellow = 0xFFFFFF00;
inline constexpr QRgb kGrey = 0xFF808080;

} // namespace testing_support::colours
