#include "payload/Resources.h"

#include "payload/Catalogue.h"
#include "sys/Failure.h"
#include "testsupport/payload/PayloadTestSupport.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

using test::BlobBytes;
using test::FailureOf;
using test::ScopedPayload;
using test::SmallPayload;

std::string Text(const Blob& blob) {
    return std::string(reinterpret_cast<const char*>(blob.Bytes().data()), blob.Bytes().size());
}

TEST(Resources, StringsAreGivenAsStored) {
    test::PayloadContents contents = SmallPayload(2);
    contents.strings[NameId(0)] = "Aanrecht ";
    contents.strings[NameId(1)] = "Opticiën";
    ScopedPayload payload(contents);
    EXPECT_EQ(LoadResString(101), "2");
    EXPECT_EQ(LoadResString(102), "1173");
    EXPECT_EQ(LoadResString(103), "Aanrecht ");
    EXPECT_EQ(LoadResString(106), "Opticiën");
    EXPECT_EQ(LoadResString(107), "2");
}

TEST(Resources, AMissingStringIsAFailure) {
    ScopedPayload payload(SmallPayload(2));
    EXPECT_EQ(FailureOf([] { LoadResString(108); }), "Bron met nummer 108 niet gevonden");
}

TEST(Resources, BlobsAreGivenByteForByte) {
    ScopedPayload payload(SmallPayload(3));
    auto blob = LoadResData("M_1174", "BLOB");
    EXPECT_EQ(Text(*blob), BlobBytes("M_1174", 300 + 977 + 1000));
    EXPECT_EQ(ResourceSize("M_1174", "BLOB"), 300 + 977 + 1000);
    // Resource names ignore letter case.
    EXPECT_EQ(Text(*LoadResData("t_1175", "blob")), Text(*LoadResData("T_1175", "BLOB")));
}

TEST(Resources, AMissingBlobIsAFailure) {
    test::PayloadContents contents = SmallPayload(2);
    contents.RemoveBlob("V_1174");
    ScopedPayload payload(contents);
    EXPECT_EQ(FailureOf([] { LoadResData("V_1174", "BLOB"); }), "Bron 'V_1174' niet gevonden");
    EXPECT_EQ(FailureOf([] { ResourceSize("V_1174", "BLOB"); }), "Bron 'V_1174' niet gevonden");
    EXPECT_EQ(FailureOf([] { LoadResData("P_1173", "ICON"); }), "Bron 'P_1173' niet gevonden");
}

TEST(Resources, AnEmptyBlobIsGivenEmpty) {
    test::PayloadContents contents = SmallPayload(1);
    contents.SetBlob("P_1173", "");
    ScopedPayload payload(contents);
    EXPECT_TRUE(LoadResData("P_1173", "BLOB")->Bytes().empty());
}

TEST(Resources, ADamagedBlobIsNeverGiven) {
    test::ScopedPayload payload(SmallPayload(1));
    std::string bytes = test::ReadFile(payload.Path());
    const std::string blob = BlobBytes("T_1173", 3300);
    const std::size_t at = bytes.find(blob);
    ASSERT_NE(at, std::string::npos);
    bytes[at + 100] ^= 1;
    test::WriteFile(payload.Path(), bytes);
    UsePayloadFile(payload.Path()); // read the changed file afresh
    EXPECT_EQ(FailureOf([] { LoadResData("T_1173", "BLOB"); }),
              "De bron van het programma is beschadigd: 'BLOB/T_1173' (CRC)");
    EXPECT_EQ(ResourceSize("T_1173", "BLOB"), 3300) << "the index is still sound";
}

TEST(Resources, WithoutAPayloadEveryReadFails) {
    // The test program carries no payload of its own.
    UsePayloadFile("");
    EXPECT_EQ(FailureOf([] { LoadResString(101); }), "Het programma bevat geen bronnen");
    test::TempDir dir;
    UsePayloadFile((dir.Path() / "missing.zip").string());
    EXPECT_NE(FailureOf([] { LoadResData("P_1173", "BLOB"); }).find("Kan bestand niet openen"),
              std::string::npos);
    UsePayloadFile("");
}

TEST(Resources, TheDemoPayloadHoldsTheWholeCatalogue) {
    test::ScopedDemoPayload payload;
    EXPECT_EQ(LoadResString(101), "308");
    EXPECT_EQ(LoadResString(102), "1173");
    EXPECT_EQ(LoadResString(103), "Aanrecht ");
    EXPECT_EQ(LoadResString(104), "5");
    EXPECT_EQ(LoadResString(1023), "1480");
    EXPECT_EQ(LoadResString(1024), "verkouden");
    EXPECT_EQ(LoadResString(1025), "36");
    EXPECT_EQ(FailureOf([] { LoadResString(1026); }), "Bron met nummer 1026 niet gevonden");
    std::int64_t total = 0;
    for (int k = 0; k < 308; ++k) {
        const std::string nr = LoadResString(NumberId(k));
        EXPECT_EQ(nr, std::to_string(1173 + k));
        for (const BlobKind& kind : kBlobKinds)
            total += ResourceSize(kind.prefix + nr, "BLOB");
    }
    EXPECT_EQ(total, 135752282);
    EXPECT_EQ(LoadResString(NameId(1205 - 1173)), "Opticiën");
}

} // namespace
} // namespace kw
