// A target database as the pictogram program ships it, for tests, tools and benchmarks: the
// three tables with their keys, categories 1 to 28 and a body of pictograms below 1173.
#pragma once

#include <string>

namespace kw {

/// The pictograms that the demo database holds: every number from the first to the last.
inline constexpr int kDemoFirstPictogram = 673;
inline constexpr int kDemoLastPictogram = 1172;
/// Categories 1 to this number exist, each with links.
inline constexpr int kDemoCategories = 28;

/// Creates a new SQLite database file at path with the demo contents; always the same rows.
/// Raises Failure, leaving an existing file untouched, when path exists already or can't be
/// created or filled.
void CreateDemoDatabase(const std::string& path);

} // namespace kw
