// Small procedures shared by the whole program: paths, file tests, blending
// two pictures and fitting a caption to its control.
#pragma once

#include <QString>

class QImage;
class QPaintDevice;
class QWidget;

namespace djvp {

// Adds the path separator "/" unless the path ends in one; "" stays "".
QString modPublic_AddBackslash(const QString& path);
// True when a plain file or folder of that name exists and is not hidden (a
// name starting with "."). A pattern with * or ? counts as existing when
// anything visible matches. A folder path with a trailing "/" is found; a
// missing or unreadable path is not.
bool modPublic_FileExists(const QString& path);
// Draws the background opaquely at (x, y) of the target, then the overlay at
// the same place with constant opacity alpha (0..255; a value outside that
// range draws the overlay opaquely).
void modPublic_BlendPictures(const QImage& background, const QImage& overlay, int32_t alpha, int16_t x,
                             int16_t y, QPaintDevice& target);
// Sets the control's caption to the text of string `stringNumber` (the
// language offset already added), lowering its font size one point at a
// time until the text fits its width, down to 6 at the least (a text that
// does not fit even at 7 is shown at 7).
void modPublic_FitCaption(QWidget& control, int32_t stringNumber);
// The same with the caption's text given.
void modPublic_FitCaptionText(QWidget& control, const QString& caption);

}  // namespace djvp
