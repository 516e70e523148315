// The catalogue as the readers walk it: the string ids of the count and of each entry's texts,
// the conversion of its number texts, and the four media blobs that every entry has.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kw {

/// String id of the entry count; entry k's texts follow at 102 + 3k (number), 103 + 3k (name)
/// and 104 + 3k (category).
inline constexpr std::int32_t kCountId = 101;
inline constexpr std::int32_t NumberId(std::int32_t k) {
    return kCountId + 1 + 3 * k;
}
inline constexpr std::int32_t NameId(std::int32_t k) {
    return kCountId + 2 + 3 * k;
}
inline constexpr std::int32_t CategoryId(std::int32_t k) {
    return kCountId + 3 + 3 * k;
}

/// The resource type of every blob.
inline constexpr const char* kBlobType = "BLOB";

/// Where the payload is the program's resources (Windows): the type of the resource that holds a
/// blob's CRC-32, four bytes little-endian, under the blob's name.
inline constexpr const char* kCrcType = "CRC32";

/// The description of a catalogue whose count is below 1.
inline constexpr const char* kBadFormat = "Bron heeft een slechte opmaak.";

/// Converts a catalogue text to a 32-bit signed integer: optional blanks around an optional sign
/// and decimal digits. Raises kw::Failure for any other text, or a value out of range.
std::int32_t ToInt32(const std::string& text);

/// Reads the entry count and checks it: raises kw::Failure with kBadFormat when it is below 1,
/// and as LoadResString and ToInt32 do.
std::int32_t CheckedEntryCount();

/// One kind of media blob: its name prefix, and where its file goes in an installation folder.
struct BlobKind {
    const char* prefix; ///< blob name = prefix + number text
    const char* folder; ///< subfolder, parts joined by '/', before the file name
    const char* extension;
};

/// The four kinds, in the order in which every reader visits an entry's blobs. The file of a
/// blob is named "i" + number text + extension.
inline constexpr std::array<BlobKind, 4> kBlobKinds{{
    {"P_", "pictogrammen", ".wmf"},
    {"M_", "geluiden/man", ".wav"},
    {"V_", "geluiden/vrouw", ".wav"},
    {"T_", "thumbs", ".bmp"},
}};

/// The start of a kind's file paths below the folder (which ends with the path separator):
/// folder + subfolder + separator + "i", with the platform's separator throughout.
std::string PathStart(const std::string& folder, const BlobKind& kind);

} // namespace kw
