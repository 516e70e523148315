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

/// The kinds of demo database: the target program's own (an Access file with its password), or an
/// SQLite file with the same tables for the tests that look inside with SQLite.
enum class DemoDatabaseKind { Access, Sqlite };

/// Creates a new Access database file at path: an Access-made Jet 4 file with the program's
/// password, categories 1 to 28, pictograms 1 to 1172 and 3,000 links, the tables' primary keys and
/// the links' indexes on category and pictogram. Raises Failure, leaving an existing file
/// untouched, when path exists already or can't be created or written.
void CreateAccessDemoDatabase(const std::string& path);

/// Creates a new SQLite database file at path with the demo contents; always the same rows.
/// Raises Failure, leaving an existing file untouched, when path exists already or can't be
/// created or filled.
void CreateDemoDatabase(const std::string& path);

} // namespace kw
