// Shared helpers for the tests: temporary folders, recording sinks, a fixed clock, a log that
// the test can read back, and a small tmpfs where mounting is permitted.
#pragma once

#include "log/Log.h"
#include "sys/Clock.h"
#include "sys/File.h"
#include "sys/Path.h"
#include "sys/Ui.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kw::test {

namespace fs = std::filesystem;

/// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& Path() const { return path_; }
    /// The folder as the program's operations take it: with a trailing separator.
    std::string Folder() const { return path_.string() + kPathSeparator; }

private:
    fs::path path_;
};

std::string ReadFile(const fs::path& path);
void WriteFile(const fs::path& path, const std::string& bytes);
/// The ordinary files in a folder and all its subfolders; 0 for a missing folder.
std::size_t CountFiles(const fs::path& folder);

/// Records every message box, and sets itself as the sink while it lives.
class RecordingMessageSink final : public MessageSink {
public:
    struct Box {
        std::string text, title;
        MsgIcon icon;
        bool operator==(const Box&) const = default;
    };
    RecordingMessageSink() { SetMessageSink(this); }
    ~RecordingMessageSink() override { SetMessageSink(nullptr); }
    void Show(const std::string& text, const std::string& title, MsgIcon icon) override {
        boxes.push_back({text, title, icon});
    }
    std::vector<Box> boxes;
};

/// A status label that remembers every caption it was given and counts event passes.
class RecordingLabel final : public StatusLabel {
public:
    void SetCaption(const std::string& caption) override { captions.push_back(caption); }
    void ProcessEvents() override { ++eventPasses; }
    std::string Caption() const { return captions.empty() ? std::string() : captions.back(); }
    std::vector<std::string> captions;
    int eventPasses = 0;
};

/// A window that counts its event passes and reports itself closed from pass `closeAt` on
/// (never when 0).
class RecordingWindow final : public Window {
public:
    void ProcessEvents() override { ++passes; }
    bool Closed() const override { return closeAt > 0 && passes >= closeAt; }
    int passes = 0;
    int closeAt = 0;
};

class RecordingList final : public ListBox {
public:
    void AddItem(const std::string& line) override { items.push_back(line); }
    void Clear() override { items.clear(); }
    std::vector<std::string> items;
};

/// A clock that always tells the time it was set to.
class FixedClock final : public Clock {
public:
    explicit FixedClock(DateTime t = {2026, 3, 4, 13, 5, 9}) : now(t) {}
    DateTime Now() override { return now; }
    DateTime now;
};

/// Replaces gLog with a log in a temporary folder for the life of the object, stamped by a
/// fixed clock, so that tests can read back exactly what the operations logged.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    /// The file's text as written (Windows-1252, CR LF).
    std::string Text() const;
    /// The records' texts without stamps, one per record; continuation lines stay joined to
    /// their record by "\n".
    std::vector<std::string> Records() const;
    const fs::path& Path() const { return path_; }

private:
    TempDir dir_;
    fs::path path_;
    FixedClock clock_;
    std::unique_ptr<Log> saved_;
};

/// What is wrong with a log file's text as the log writes it (every line a record of
/// "hh:mm:ss - " or a continuation of 11 blanks, each ended by CR LF, the start record first),
/// or "" when nothing is. An empty text is well-formed.
std::string LogDefect(const std::string& text);

/// Sets an environment variable for the life of the object (nullptr unsets it).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

/// Puts other file operations in place for the life of the object.
class ScopedFiles {
public:
    explicit ScopedFiles(FileApi& files) { SetFiles(&files); }
    ~ScopedFiles() { SetFiles(nullptr); }
};

/// The platform's file operations with a countdown: the call numbered failAt (counting from 1)
/// fails as the platform reports a failure, and nothing is done for it (a Close still closes:
/// the handle is gone either way). The count can be narrowed to one kind of call and to names
/// that contain `only` (a handle counts with the name it was opened under), so that a loop over
/// k = 1, 2, ... reaches every call that a run makes.
class FaultyFiles final : public FileApi {
public:
    enum class Op {
        Any,
        CreateNew,
        CreateUnnamed,
        Name,
        OpenExisting,
        Lock,
        TakeFolderOwner,
        Write,
        Close,
        Remove,
        Rename,
        Kind,
        IsOrdinaryFile
    };
    enum class Fault { Fail, Short }; // how a failing Write fails: outright, or half written

    int failAt = 0; // 0: no call fails
    Op op = Op::Any;
    std::string only;
    Fault fault = Fault::Fail;
    int calls = 0;      // the calls counted so far
    std::string failed; // what the failed call was ("Rename <name>"), empty while none failed

    FileHandle CreateNew(const std::string& path) override;
    /// The file's name here, until it is named, is its folder's.
    FileHandle CreateUnnamed(const std::string& folder) override;
    bool Name(FileHandle file, const std::string& path) override;
    FileHandle OpenExisting(const std::string& path) override;
    bool Lock(FileHandle file) override;
    bool TakeFolderOwner(FileHandle file, const std::string& folder) override;
    std::int64_t Write(FileHandle file, const void* data, std::size_t size) override;
    bool Close(FileHandle file) override;
    bool Remove(const std::string& path) override;
    bool Rename(const std::string& from, const std::string& to) override;
    FileKind Kind(const std::string& path) override;
    bool IsOrdinaryFile(const std::string& path) override;

private:
    /// Counts the call when it matches; true when it is the one to fail.
    bool Fails(Op call, const std::string& name);
    /// CreateNew, CreateUnnamed or OpenExisting, noting the handle's name.
    FileHandle Open(Op call, const std::string& path);
    std::map<FileHandle, std::string> names_;
};

/// A tmpfs of the given size mounted on a temporary folder, or nothing where this process may
/// not mount (then the test should skip). With readOnly the mount refuses every write, even
/// root's, which plain file modes do not.
class ScopedTmpfs {
public:
    static std::optional<ScopedTmpfs> Mount(std::size_t bytes, bool readOnly = false);
    ScopedTmpfs(ScopedTmpfs&& other) noexcept;
    ~ScopedTmpfs();
    const fs::path& Path() const { return dir_; }
    /// Mounts it again read-only (or read-write), keeping its contents.
    bool Remount(bool readOnly);

private:
    explicit ScopedTmpfs(fs::path dir) : dir_(std::move(dir)) {}
    fs::path dir_;
};

} // namespace kw::test
