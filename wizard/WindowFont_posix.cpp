#include "wizard/WindowFont.h"

#include <QFontDatabase>

namespace kw {

void AddPlatformFonts() {
    // Debian's fonts-wine keeps Tahoma outside the folders that fontconfig reads.
    for (const char* file :
         {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"})
        QFontDatabase::addApplicationFont(QString::fromLatin1(file));
}

} // namespace kw
