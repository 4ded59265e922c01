#pragma once
// The program's icon, drawn once: the window icon, the installed PNG sizes and
// the scalable SVG all come from the same shapes on a 32 x 32 grid.
#include <QString>

class QPainter;

// Paints the icon into a size x size area at the painter's origin. At 32 the
// pixels are those of the 16-colour window icon.
void PaintIcon(QPainter& painter, int size);
// The same shapes as an SVG document.
QString IconSvg();
