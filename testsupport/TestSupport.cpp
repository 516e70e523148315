#include "testsupport/TestSupport.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kw::test {

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave folders read-only; make them writable again so they can be removed.
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::end(it);
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::size_t CountFiles(const fs::path& folder) {
    std::size_t n = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::end(it);
         it.increment(ec))
        n += it->is_regular_file() ? 1 : 0;
    return n;
}

LogCapture::LogCapture() : path_(dir_.Path() / "Kwastor.log") {
    saved_ = std::move(gLog);
    gLog = std::make_unique<Log>(clock_);
    gLog->SetFilename(path_.string());
}

LogCapture::~LogCapture() {
    gLog = std::move(saved_);
}

std::string LogCapture::Text() const {
    return ReadFile(path_);
}

std::vector<std::string> LogCapture::Records() const {
    // Every record starts with "hh:mm:ss - "; continuation lines start with 11 blanks.
    std::vector<std::string> records;
    std::string text = Text();
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (line.rfind("           ", 0) == 0 && !records.empty())
            records.back().append("\n").append(line, 11); // not "\n" + ...: g++ 12 -Wrestrict
        else
            records.push_back(line.size() >= 11 ? line.substr(11) : line);
        pos = end + 2;
    }
    return records;
}

std::string LogDefect(const std::string& text) {
    if (text.empty())
        return "";
    if (!text.ends_with("\r\n"))
        return "the last record is not ended";
    const auto digits = [](const std::string& l, std::initializer_list<int> at) {
        for (int i : at)
            if (l[i] < '0' || l[i] > '9')
                return false;
        return true;
    };
    std::size_t pos = 0;
    for (int n = 0; pos < text.size(); ++n) {
        const std::size_t end = text.find("\r\n", pos);
        const std::string line = text.substr(pos, end - pos);
        pos = end + 2;
        const bool stamped = line.size() >= 11 && digits(line, {0, 1, 3, 4, 6, 7}) &&
                             line[2] == ':' && line[5] == ':' && line.compare(8, 3, " - ") == 0;
        const bool continued = line.rfind("           ", 0) == 0;
        if (n == 0 && !(stamped && line.size() == 21))
            return "it does not begin with the start record: " + line;
        if (n == 1 && line != "           Logging started.")
            return "it does not begin with the start record: " + line;
        if (!stamped && !(continued && n > 0))
            return "a line that is neither a record nor a continuation: " + line;
    }
    return "";
}

bool FaultyFiles::Fails(Op call, const std::string& name) {
    static const char* const kNames[] = {"",
                                         "CreateNew",
                                         "CreateUnnamed",
                                         "Name",
                                         "OpenExisting",
                                         "Lock",
                                         "TakeFolderOwner",
                                         "Write",
                                         "Close",
                                         "Remove",
                                         "Rename",
                                         "Kind",
                                         "IsOrdinaryFile"};
    if ((op != Op::Any && op != call) || name.find(only) == std::string::npos)
        return false;
    if (++calls != failAt)
        return false;
    failed = std::string(kNames[static_cast<int>(call)]) + " " + name;
    return true;
}

FileHandle FaultyFiles::Open(Op call, const std::string& path) {
    if (Fails(call, path))
        return kInvalidFile;
    FileApi& system = SystemFiles();
    const FileHandle file = call == Op::CreateNew       ? system.CreateNew(path)
                            : call == Op::CreateUnnamed ? system.CreateUnnamed(path)
                                                        : system.OpenExisting(path);
    if (file != kInvalidFile)
        names_[file] = path;
    return file;
}

FileHandle FaultyFiles::CreateNew(const std::string& path) {
    return Open(Op::CreateNew, path);
}

FileHandle FaultyFiles::CreateUnnamed(const std::string& folder) {
    return Open(Op::CreateUnnamed, folder);
}

bool FaultyFiles::Name(FileHandle file, const std::string& path) {
    if (Fails(Op::Name, path) || !SystemFiles().Name(file, path))
        return false;
    names_[file] = path;
    return true;
}

FileHandle FaultyFiles::OpenExisting(const std::string& path) {
    return Open(Op::OpenExisting, path);
}

bool FaultyFiles::Lock(FileHandle file) {
    return !Fails(Op::Lock, names_[file]) && SystemFiles().Lock(file);
}

bool FaultyFiles::TakeFolderOwner(FileHandle file, const std::string& folder) {
    return !Fails(Op::TakeFolderOwner, names_[file]) && SystemFiles().TakeFolderOwner(file, folder);
}

std::int64_t FaultyFiles::Write(FileHandle file, const void* data, std::size_t size) {
    if (!Fails(Op::Write, names_[file]))
        return SystemFiles().Write(file, data, size);
    return fault == Fault::Fail ? -1 : SystemFiles().Write(file, data, size / 2);
}

bool FaultyFiles::Close(FileHandle file) {
    const bool fails = Fails(Op::Close, names_[file]);
    names_.erase(file);
    return SystemFiles().Close(file) && !fails;
}

bool FaultyFiles::Remove(const std::string& path) {
    return !Fails(Op::Remove, path) && SystemFiles().Remove(path);
}

bool FaultyFiles::Rename(const std::string& from, const std::string& to) {
    return !Fails(Op::Rename, from) && SystemFiles().Rename(from, to);
}

FileKind FaultyFiles::Kind(const std::string& path) {
    return Fails(Op::Kind, path) ? FileKind::Unknown : SystemFiles().Kind(path);
}

bool FaultyFiles::IsOrdinaryFile(const std::string& path) {
    return !Fails(Op::IsOrdinaryFile, path) && SystemFiles().IsOrdinaryFile(path);
}

} // namespace kw::test
