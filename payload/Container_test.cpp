#include "payload/Container.h"

#include "sys/Failure.h"
#include "sys/MappedFile.h"
#include "testsupport/payload/PayloadTestSupport.h"
#include "tools/pack-payload/ContainerWriter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

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

std::string AsText(std::span<const std::byte> b) {
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

TEST(Crc32, AgreesWithZlibAtEveryLengthAndAlignment) {
    const std::string data = BlobBytes("crc", 5000);
    const auto bytes = AsBytes(data);
    std::uint32_t start = 0x12345678;
    for (std::size_t length : {0, 1, 15, 16, 17, 63, 64, 65, 127, 128, 129, 1000, 4096, 4900})
        for (std::size_t offset = 0; offset < 17; ++offset) {
            start = start * 1103515245u + 12345u;
            const auto part = bytes.subspan(offset, length);
            EXPECT_EQ(Crc32(part, start), crc32(start, reinterpret_cast<const Bytef*>(part.data()),
                                                static_cast<uInt>(part.size())))
                << length << " bytes at " << offset;
        }
}

TEST(Container, RoundTrip) {
    TempDir dir;
    MappedFile file(Container(dir));
    const auto source = file.Bytes();
    Directory d = ReadDirectory(source);
    EXPECT_EQ(d.entries.size(), 5u);
    EXPECT_EQ(d.start, 0u);
    EXPECT_EQ(d.offsetShift, 0u);
    EXPECT_EQ(AsText(EntryData(source, d.entries.at(EntryKey(StringEntryName(103))))), "Aanrecht ");
    EXPECT_EQ(AsText(EntryData(source, d.entries.at(EntryKey("STRING/106")))), "Opticiën");
    const Entry& p = d.entries.at(EntryKey(ResourceEntryName("blob", "p_1173")));
    EXPECT_EQ(p.name, "BLOB/P_1173");
    EXPECT_EQ(p.size, 5000u);
    EXPECT_EQ(AsText(EntryData(source, p)), BlobBytes("P_1173", 5000));
    EXPECT_TRUE(EntryData(source, d.entries.at("BLOB/E_1")).empty());
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
    MappedFile plain((dir.Path() / "plain").string());
    const auto source = plain.Bytes();
    EXPECT_EQ(FailureOf([&] { ReadDirectory(source); }), "Het programma bevat geen bronnen");
    EXPECT_EQ(BareSize(source), 5000u);
    WriteFile(dir.Path() / "empty", "");
    EXPECT_EQ(
        FailureOf([&] { ReadDirectory(MappedFile((dir.Path() / "empty").string()).Bytes()); }),
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
    MappedFile file(path);
    const auto source = file.Bytes();
    Directory d = ReadDirectory(source);
    EXPECT_EQ(FailureOf([&] { EntryData(source, d.entries.at("BLOB/P_1173")); }),
              "De bron van het programma is beschadigd: 'BLOB/P_1173' (CRC)");
    EXPECT_EQ(AsText(EntryData(source, d.entries.at("STRING/103"))), "Aanrecht ");
}

TEST(Container, TruncatedArchiveIsRefused) {
    TempDir dir;
    const std::string path = Container(dir);
    const std::string bytes = ReadFile(path);
    for (std::size_t cut : {std::size_t{1}, std::size_t{30}, bytes.size() / 2}) {
        WriteFile(path, bytes.substr(0, bytes.size() - cut));
        EXPECT_NE(FailureOf([&] { ReadDirectory(MappedFile(path).Bytes()); }), "(no failure)")
            << cut;
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
    EXPECT_EQ(FailureOf([&] { ReadDirectory(MappedFile(path).Bytes()); }),
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
    MappedFile file(program);
    const auto source = file.Bytes();
    Directory d = ReadDirectory(source);
    EXPECT_EQ(d.start, image.size());
    EXPECT_EQ(d.offsetShift, 0u) << "offsets count from the start of the program file";
    EXPECT_EQ(BareSize(source), image.size());
    EXPECT_EQ(AsText(EntryData(source, d.entries.at("BLOB/P_1173"))), BlobBytes("P_1173", 5000));
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
    const std::uint64_t once = MappedFile(program).Bytes().size();
    AppendContainer(program, Container(dir));
    EXPECT_EQ(MappedFile(program).Bytes().size(), once);

    const std::string other = (dir.Path() / "other.zip").string();
    {
        ContainerWriter w(other);
        w.AddString(101, "7");
        w.Finish();
    }
    AppendContainer(program, other);
    MappedFile file(program);
    const auto source = file.Bytes();
    Directory d = ReadDirectory(source);
    EXPECT_EQ(d.entries.size(), 1u);
    EXPECT_EQ(ReadFile(program).substr(0, image.size()), image);
    EXPECT_EQ(BareSize(source), image.size());
}

TEST(Container, ArchiveAfterAPrefixWithUnadjustedOffsetsIsFound) {
    TempDir dir;
    const std::string path = (dir.Path() / "joined").string();
    WriteFile(path, std::string(777, 'p') + ReadFile(Container(dir)));
    MappedFile file(path);
    const auto source = file.Bytes();
    Directory d = ReadDirectory(source);
    EXPECT_EQ(d.offsetShift, 777u);
    EXPECT_EQ(d.start, 777u);
    EXPECT_EQ(AsText(EntryData(source, d.entries.at("STRING/101"))), "2");
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
