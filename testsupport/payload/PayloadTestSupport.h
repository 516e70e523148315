// Small payloads for the tests: a catalogue and its blobs written to a container file in a
// temporary folder and put in place of the program file's payload.
#pragma once

#include "testsupport/TestSupport.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kw::test {

/// What a test payload holds: strings by id and blobs by name (type "BLOB").
struct PayloadContents {
    std::map<std::int32_t, std::string> strings;
    std::vector<std::pair<std::string, std::string>> blobs;

    /// Replaces the bytes of the named blob (adds it when missing).
    void SetBlob(const std::string& name, std::string bytes);
    /// Takes the named blob out.
    void RemoveBlob(const std::string& name);
    const std::string& Blob(const std::string& name) const;
};

/// One catalogue entry as its three texts.
struct CatalogueEntry {
    std::string number, name, category;
};

/// A payload of a catalogue only (no blobs) holding these entries, and `count` as its count
/// where given instead of the number of entries.
PayloadContents CatalogueOf(const std::vector<CatalogueEntry>& entries,
                            const std::optional<std::string>& count = std::nullopt);

/// The description of the kw::Failure that f raises, or "(no failure)".
std::string FailureOf(const std::function<void()>& f);

/// Deterministic bytes of the given length, different for every name.
std::string BlobBytes(const std::string& name, std::size_t size);

/// A catalogue of `count` entries numbered from `first`, named "Naam<k>", in category k % 38 + 1,
/// each with its four blobs of a few hundred to a few thousand bytes.
PayloadContents SmallPayload(int count, int first = 1173);

/// The payload in use for the life of the object: what it holds, written to a container file.
class ScopedPayload {
public:
    explicit ScopedPayload(const PayloadContents& contents);
    ~ScopedPayload();
    ScopedPayload(const ScopedPayload&) = delete;
    ScopedPayload& operator=(const ScopedPayload&) = delete;
    std::string Path() const { return (dir_.Path() / "payload.zip").string(); }

private:
    TempDir dir_;
};

/// The demo payload that the build packs into the program, in use for the life of the object.
class ScopedDemoPayload {
public:
    ScopedDemoPayload();
    ~ScopedDemoPayload();
    static std::string Path();
};

/// An installation folder with the four media subfolders (and nothing else).
class TestInstallation {
public:
    TestInstallation();
    /// The folder as the operations take it, ending with the separator.
    std::string Folder() const { return dir_.Folder(); }
    const fs::path& Path() const { return dir_.Path(); }

private:
    TempDir dir_;
};

} // namespace kw::test
