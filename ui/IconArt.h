#pragma once
// The program's icon, drawn once: the window icon, the installed PNG sizes and
// the scalable SVG all come from the same shapes on a 32 x 32 grid.
#include <QIcon>
#include <QString>
#include <array>

class QPainter;

// The sizes installed as PNG files and carried by the window icon.
inline constexpr std::array<int, 7> IconSizes = {16, 24, 32, 48, 64, 128, 256};

// Paints the icon into a size x size area at the painter's origin. At 32 the
// pixels are those of the 16-colour window icon; 16 has a drawing of its own.
void PaintIcon(QPainter& painter, int size);
// Every size of IconSizes, for the windows.
QIcon ProgramIcon();
// The same shapes as an SVG document.
QString IconSvg();
