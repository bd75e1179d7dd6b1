#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>

class QPalette;

namespace quillmark {

// The colour the committed toolbar pictures draw their glyphs in.
extern const QColor kGlyphColour;

// The contrast of two colours by their relative luminance: 1 (none) to 21 (black on white).
double contrastRatio(const QColor& a, const QColor& b);

// Whether the committed glyph colour is too faint on this window colour and a light one reads
// better.
bool needsLightGlyphs(const QColor& window);

// A normal picture redrawn for a dark window colour: the glyph in a light colour of the same
// hue, the white that covers parts of a glyph in the window colour.
QImage forDarkWindow(const QImage& picture, const QColor& window);

// The toolbar picture `name` (a normal one and a highlighted one for the pointer) for a window of
// this palette: the committed pictures, with the normal one redrawn on a dark window colour.
QIcon toolbarPicture(const QString& name, const QPalette& palette);

} // namespace quillmark
