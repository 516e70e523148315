#include "payload/Container.h"

#include "payload/PayloadTestSupport.h"
#include "sys/Failure.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace kw::payload {
namespace {

using test::BlobBytes;
using test::FailureOf;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::span<const std::byte> AsBytes(const std::string& s) {
    return std::as_bytes(std::span(s.data(), s.size()));
}

std::string AsText(const std::vector<std::byte>& b) {
    return std::string(reinterpret_cast<const char*>(b.data()), b.size());
}

std::string Container(const TempDir& dir, const std::string& file = "c.zip") {
    const std::string path = (dir.Path() / file).string();
    ContainerWriter w(path);
    w.AddString(101, "2");
    w.AddString(103, "Aanrecht ");
    w.AddString(106, "Opticiën");
    w.AddResource("BLOB", "P_1173", AsBytes(BlobBytes("P_1173", 5000)));
    w.AddResource("BLOB", "E_1", {});
    w.Finish();
    return path;
}

bool HaveUnzip() {
    return std::system("command -v unzip >/dev/null 2>&1") == 0;
}

TEST(Crc32, KnownValues) {
    EXPECT_EQ(Crc32(AsBytes("")), 0u);
    EXPECT_EQ(Crc32(AsBytes("123456789")), 0xCBF43926u);
    EXPECT_EQ(Crc32(AsBytes("6789"), Crc32(AsBytes("12345"))), 0xCBF43926u);
}

TEST(Container, RoundTrip) {
    TempDir dir;
    FileSource source(Container(dir));
    Directory d = ReadDirectory(source);
    EXPECT_EQ(d.entries.size(), 5u);
    EXPECT_EQ(d.start, 0u);
    EXPECT_EQ(d.offsetShift, 0u);
    EXPECT_EQ(AsText(ReadEntry(source, d.entries.at(EntryKey(StringEntryName(103))))), "Aanrecht ");
    EXPECT_EQ(AsText(ReadEntry(source, d.entries.at(EntryKey("STRING/106")))), "Opticiën");
    const Entry& p = d.entries.at(EntryKey(ResourceEntryName("blob", "p_1173")));
    EXPECT_EQ(p.name, "BLOB/P_1173");
    EXPECT_EQ(p.size, 5000u);
    EXPECT_EQ(AsText(ReadEntry(source, p)), BlobBytes("P_1173", 5000));
    EXPECT_TRUE(ReadEntry(source, d.entries.at("BLOB/E_1")).empty());
}

TEST(Container, UnzipAcceptsIt) {
    if (!HaveUnzip())
        GTEST_SKIP() << "unzip is not installed";
    TempDir dir;
    const std::string path = Container(dir);
    EXPECT_EQ(std::system(("unzip -tq '" + path + "' >/dev/null").c_str()), 0);
    EXPECT_EQ(
        std::system(("unzip -p '" + path + "' STRING/103 > '" + (dir.Path() / "out").string() + "'")
                        .c_str()),
        0);
    EXPECT_EQ(ReadFile(dir.Path() / "out"), "Aanrecht ");
}

TEST(Container, WriterRefusesTwoEntriesOfOneName) {
    TempDir dir;
    ContainerWriter w((dir.Path() / "c.zip").string());
    w.AddResource("BLOB", "P_1", AsBytes("x"));
    EXPECT_NE(FailureOf([&] { w.AddResource("Blob", "p_1", AsBytes("y")); }), "(no failure)");
}

TEST(Container, NoArchive) {
    TempDir dir;
    WriteFile(dir.Path() / "plain", std::string(5000, 'x'));
    FileSource source((dir.Path() / "plain").string());
    EXPECT_EQ(FailureOf([&] { ReadDirectory(source); }), "Het programma bevat geen bronnen");
    EXPECT_EQ(BareSize(source), 5000u);
    WriteFile(dir.Path() / "empty", "");
    EXPECT_EQ(FailureOf([&] { ReadDirectory(FileSource((dir.Path() / "empty").string())); }),
              "Het programma bevat geen bronnen");
}

TEST(Container, DamagedDataIsNeverReturned) {
    TempDir dir;
    const std::string path = Container(dir);
    std::string bytes = ReadFile(path);
    const std::size_t at = bytes.find(BlobBytes("P_1173", 5000).substr(0, 64));
    ASSERT_NE(at, std::string::npos);
    bytes[at + 2500] ^= 0x10;
    WriteFile(path, bytes);
    FileSource source(path);
    Directory d = ReadDirectory(source);
    EXPECT_EQ(FailureOf([&] { ReadEntry(source, d.entries.at("BLOB/P_1173")); }),
              "De bron van het programma is beschadigd: 'BLOB/P_1173' (CRC)");
    EXPECT_EQ(AsText(ReadEntry(source, d.entries.at("STRING/103"))), "Aanrecht ");
}

TEST(Container, TruncatedArchiveIsRefused) {
    TempDir dir;
    const std::string path = Container(dir);
    const std::string bytes = ReadFile(path);
    for (std::size_t cut : {std::size_t{1}, std::size_t{30}, bytes.size() / 2}) {
        WriteFile(path, bytes.substr(0, bytes.size() - cut));
        EXPECT_NE(FailureOf([&] { ReadDirectory(FileSource(path)); }), "(no failure)") << cut;
    }
}

TEST(Container, CompressedEntryIsRefused) {
    TempDir dir;
    const std::string path = Container(dir);
    std::string bytes = ReadFile(path);
    const std::size_t central = bytes.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);
    bytes[central + 10] = 8; // deflate
    WriteFile(path, bytes);
    EXPECT_EQ(FailureOf([&] { ReadDirectory(FileSource(path)); }),
              "De bron van het programma is beschadigd: 'STRING/101' is gecomprimeerd of "
              "versleuteld");
}

TEST(Container, AppendedToAProgram) {
    TempDir dir;
    const std::string container = Container(dir);
    const std::string program = (dir.Path() / "prog").string();
    const std::string image = BlobBytes("program", 12345);
    WriteFile(program, image);
    ::chmod(program.c_str(), 0751);
    AppendContainer(program, container);

    struct stat st {};
    ASSERT_EQ(::stat(program.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0751u);
    const std::string bytes = ReadFile(program);
    EXPECT_EQ(bytes.substr(0, image.size()), image);
    FileSource source(program);
    Directory d = ReadDirectory(source);
    EXPECT_EQ(d.start, image.size());
    EXPECT_EQ(d.offsetShift, 0u) << "offsets count from the start of the program file";
    EXPECT_EQ(BareSize(source), image.size());
    EXPECT_EQ(AsText(ReadEntry(source, d.entries.at("BLOB/P_1173"))), BlobBytes("P_1173", 5000));
    if (HaveUnzip()) {
        EXPECT_EQ(std::system(("unzip -tq '" + program + "' >/dev/null 2>&1").c_str()), 0);
    }
}

TEST(Container, AppendingAgainReplacesThePayload) {
    TempDir dir;
    const std::string program = (dir.Path() / "prog").string();
    const std::string image = BlobBytes("program", 999);
    WriteFile(program, image);
    AppendContainer(program, Container(dir));
    const std::uint64_t once = FileSource(program).Size();
    AppendContainer(program, Container(dir));
    EXPECT_EQ(FileSource(program).Size(), once);

    const std::string other = (dir.Path() / "other.zip").string();
    {
        ContainerWriter w(other);
        w.AddString(101, "7");
        w.Finish();
    }
    AppendContainer(program, other);
    FileSource source(program);
    Directory d = ReadDirectory(source);
    EXPECT_EQ(d.entries.size(), 1u);
    EXPECT_EQ(ReadFile(program).substr(0, image.size()), image);
    EXPECT_EQ(BareSize(source), image.size());
}

TEST(Container, ArchiveAfterAPrefixWithUnadjustedOffsetsIsFound) {
    TempDir dir;
    const std::string path = (dir.Path() / "joined").string();
    WriteFile(path, std::string(777, 'p') + ReadFile(Container(dir)));
    FileSource source(path);
    Directory d = ReadDirectory(source);
    EXPECT_EQ(d.offsetShift, 777u);
    EXPECT_EQ(d.start, 777u);
    EXPECT_EQ(AsText(ReadEntry(source, d.entries.at("STRING/101"))), "2");
}

TEST(Container, AppendFailureLeavesTheProgramAlone) {
    TempDir dir;
    const std::string program = (dir.Path() / "prog").string();
    WriteFile(program, "image");
    WriteFile(dir.Path() / "bad.zip", "not an archive");
    EXPECT_NE(FailureOf([&] { AppendContainer(program, (dir.Path() / "bad.zip").string()); }),
              "(no failure)");
    EXPECT_EQ(ReadFile(program), "image");
    EXPECT_FALSE(test::fs::exists(program + ".payload-tmp"));
}

} // namespace
} // namespace kw::payload
