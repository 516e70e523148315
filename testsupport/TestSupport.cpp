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

FileHandle FaultyFiles::CreateAlways(const std::string& path) {
    created.push_back(path);
    return SystemFiles().CreateAlways(path);
}

std::int64_t FaultyFiles::Write(FileHandle file, const void* data, std::size_t size) {
    if (fault == Fault::None || goodWrites-- > 0)
        return SystemFiles().Write(file, data, size);
    if (fault == Fault::Fail)
        return -1;
    return SystemFiles().Write(file, data, size / 2);
}

} // namespace kw::test
