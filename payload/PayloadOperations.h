// The payload operations: measuring the payload, writing its files, registering it in the
// database and listing what was added. Each reports failure by its result, never by raising.
// Historically the module FancyStuff; the operations keep their established names.
#pragma once

#include "sys/Ui.h"

#include <cstdint>
#include <string>

namespace kw {

/// Disk bytes that one blob takes (whole units of 4096). Raises Failure; used by NeededDiskSpace.
std::int32_t ResourceDiskSize(const std::string& name);

/// Kilobytes that all payload files take on disk, or -1 after a failure (shown and logged).
std::int32_t NeededDiskSpace();

/// The payload's first and last pictogram number; both 0 after a failure (shown and logged).
void GetResourceExtremes(std::int32_t& lowest, std::int32_t& highest);

/// Writes one blob into one file; false after a failure (shown and logged).
bool SaveResourceToFile(const std::string& blobName, const std::string& filePath);

/// Writes all payload files into the installation folder (ending with the path separator),
/// stopping at the first failure. With a label, shows progress there.
bool SaveResources(const std::string& folder, StatusLabel* label);

/// Registers the categories, pictograms and links on the open connection, as one transaction
/// after the whole catalogue has been read; false after the first failure, which is logged
/// and, with a label, shown there. A failure leaves the database as it was.
bool UpdateDB(StatusLabel* label);

/// Appends one line per pictogram to the list; after a failure the list holds only its reason.
void ListChanges(ListBox& list);

} // namespace kw
