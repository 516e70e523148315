// The wizard's font: Tahoma 8.25 pt, as the window was designed with.
#pragma once

#include <QFont>

namespace kw {

/// Tahoma 8.25 pt at the weight given, or the system's sans-serif where Tahoma is missing.
QFont WindowFont(QFont::Weight weight);

/// Makes the platform's own copies of Tahoma known to Qt where its font lookup misses them.
void AddPlatformFonts();

} // namespace kw
