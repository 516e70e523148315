#include "db/Backend.h"

#include "sys/Failure.h"
#include "sys/Path.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace kw {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSqliteHeader{"SQLite format 3\0", 16};
// Jet (Access 97 to 2003) and ACE (Access 2007 on) files carry their engine's name at offset 4.
constexpr std::string_view kJetSignature = "Standard Jet DB";
constexpr std::string_view kAceSignature = "Standard ACE DB";
constexpr std::size_t kSignatureOffset = 4;

// The first bytes of the file, enough for either signature.
std::string ReadHead(const std::string& path) {
    errno = 0;
    std::ifstream in(FilePath(path), std::ios::binary);
    char head[32];
    if (in)
        in.read(head, sizeof head);
    if (!in && !in.eof())
        throw Failure("Database '" + path + "' kan niet gelezen worden: " + std::strerror(errno));
    return std::string(head, static_cast<std::size_t>(in.gcount()));
}

} // namespace

std::unique_ptr<Connection> OpenDatabaseFile(const std::string& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(FilePath(path), ec);
    if (status.type() == fs::file_type::not_found)
        throw Failure("Database '" + path + "' bestaat niet");
    if (ec)
        throw Failure("Database '" + path + "' is niet bereikbaar: " + ec.message());
    if (status.type() == fs::file_type::directory)
        throw Failure("'" + path + "' is een map, geen database");
    if (status.type() != fs::file_type::regular)
        throw Failure("'" + path + "' is geen gewoon bestand");

    const std::string head = ReadHead(path);
    if (head.starts_with(kSqliteHeader))
        return OpenSqlite(path);
    if (head.size() >= kSignatureOffset + kJetSignature.size()) {
        const std::string_view signature =
            std::string_view(head).substr(kSignatureOffset, kJetSignature.size());
        if (signature == kJetSignature || signature == kAceSignature) {
            const char* choice = std::getenv(kDatabaseChoiceVariable);
            if (choice && std::string_view(choice) == "odbc")
                return OpenOdbc(kAccessConnectionString + path);
            return OpenJet(kAccessConnectionString + path);
        }
    }
    throw Failure("'" + path + "' is geen database (geen SQLite- of Access-bestand)");
}

} // namespace kw
