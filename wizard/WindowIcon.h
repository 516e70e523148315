// The wizard window's own icon.
#pragma once

#include <QIcon>

namespace kw {

/// The icon drawn at 16, 24, 32 and 48 pixels.
QIcon WindowIcon();

} // namespace kw
