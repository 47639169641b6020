#pragma once

#include <QIcon>

/** The bottom panel's button glyphs, drawn in code on a transparent background, each with a disabled form. */
namespace app {

/** A blue arrowhead with a red line through its middle, 16 × 16; `right` points it right. */
[[nodiscard]] QIcon arrowGlyph(bool right);
/** A small photograph, 17 × 17. */
[[nodiscard]] QIcon photoGlyph();
/** A red octagonal stop sign with the white word STOP, 20 × 20. */
[[nodiscard]] QIcon stopGlyph();

} // namespace app
