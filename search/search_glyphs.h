#pragma once

#include <QIcon>

/** The search window's button glyphs, 18 × 18, drawn in code on a transparent background. */
namespace search {

/** A magnifying glass: start the search. */
[[nodiscard]] QIcon findGlyph();
/** A picture with a green arrow: open the selected hit. */
[[nodiscard]] QIcon openGlyph();
/** A red cross over a list line: remove the selected hit from the list. */
[[nodiscard]] QIcon removeGlyph();
/** A floppy disk: save the list. */
[[nodiscard]] QIcon saveGlyph();
/** An open door with an arrow leaving: close the window. */
[[nodiscard]] QIcon closeGlyph();

} // namespace search
