// The wizard's font: Tahoma 8.25 pt, as the window was designed with.
#pragma once

#include <QFont>

class QStyle;

namespace kw {

/// Tahoma 8.25 pt at the weight given, or the system's sans-serif where Tahoma is missing.
QFont WindowFont(QFont::Weight weight);

/// Makes the platform's own copies of Tahoma known to Qt where its font lookup misses them.
void AddPlatformFonts();

/// True when the bold window font draws no heavier than the regular one. Wine's Tahoma Bold
/// does so at 8.25 pt: its stems are hinted to a single pixel, as thin as the regular face's.
bool BoldDrawsThin();

/// A style for widgets in the bold window font that draws their text a second time, one pixel
/// to the right, as Windows draws a bold that its font can't show. The font is not touched, so
/// its metrics and the layout stay as they are. Lives as long as the program.
QStyle* OverstrikeStyle();

} // namespace kw
