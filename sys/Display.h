// Whether a window can be shown at all, asked before the toolkit would abort on its own.
#pragma once

#include <string>

namespace kw {

/// True when the wizard can open its window; otherwise false, with the reason in `why`.
bool DisplayAvailable(std::string& why);

} // namespace kw
