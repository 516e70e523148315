#include "tools/pack-payload/Packer.h"

#include "payload/Catalogue.h"
#include "payload/Resources.h"
#include "testsupport/TestSupport.h"

#include <gtest/gtest.h>

namespace kw::tools {
namespace {

using test::fs::path;

// A catalogue of two entries and a media folder with their eight files.
class PackerTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteCatalogue("1173\tAanrecht \t5\n1174\tOpticiën\t18\n");
        for (const char* nr : {"1173", "1174"})
            for (const BlobKind& kind : kBlobKinds) {
                test::fs::create_directories(media_ / kind.folder);
                test::WriteFile(MediaFile(nr, kind), std::string(kind.prefix) + nr);
            }
    }
    void TearDown() override { UsePayloadFile(""); }

    void WriteCatalogue(const std::string& text) { test::WriteFile(catalogue_, text); }
    path MediaFile(const std::string& nr, const BlobKind& kind) const {
        return media_ / kind.folder / ("i" + nr + kind.extension);
    }
    std::string Refusal() {
        try {
            PackPayload(catalogue_.string(), media_.string(), out_.string());
        } catch (const std::exception& e) {
            return e.what();
        }
        return "(packed)";
    }

    test::TempDir dir_;
    path catalogue_ = dir_.Path() / "catalogue.tsv";
    path media_ = dir_.Path() / "media";
    path out_ = dir_.Path() / "payload.zip";
};

TEST_F(PackerTest, PacksTheCatalogueAndItsMedia) {
    const PackResult r = PackPayload(catalogue_.string(), media_.string(), out_.string());
    EXPECT_EQ(r.entries, 2u);
    EXPECT_EQ(r.mediaBytes, 8u * 6);
    UsePayloadFile(out_.string());
    EXPECT_EQ(LoadResString(101), "2");
    EXPECT_EQ(LoadResString(102), "1173");
    EXPECT_EQ(LoadResString(103), "Aanrecht ");
    EXPECT_EQ(LoadResString(104), "5");
    EXPECT_EQ(LoadResString(106), "Opticiën");
    const auto blob = LoadResData("V_1174", "BLOB");
    EXPECT_EQ(
        std::string(reinterpret_cast<const char*>(blob->Bytes().data()), blob->Bytes().size()),
        "V_1174");
}

TEST_F(PackerTest, RefusesMediaThatDoNotMatchTheCatalogue) {
    test::fs::remove(MediaFile("1174", kBlobKinds[2]));
    EXPECT_NE(Refusal().find("missing media file"), std::string::npos);
    test::WriteFile(MediaFile("1174", kBlobKinds[2]), "");
    EXPECT_NE(Refusal().find("is empty"), std::string::npos);
    test::WriteFile(MediaFile("1174", kBlobKinds[2]), "x");
    test::WriteFile(MediaFile("1175", kBlobKinds[3]), "stray");
    EXPECT_NE(Refusal().find("belongs to no catalogue entry"), std::string::npos);
    test::fs::remove(MediaFile("1175", kBlobKinds[3]));
    EXPECT_EQ(Refusal(), "(packed)");
}

TEST_F(PackerTest, RefusesABadCatalogue) {
    for (const char* bad : {"1173\tAan'recht\t5\n", "1173\tAan\x01recht\t5\n", "01173\tA\t5\n",
                            "1173\tAanrecht\t+5\n", "1173\t\t5\n", "1173\tA\t5\n1173\tB\t5\n",
                            "1173\tAanrecht\n", "# only a note\n"}) {
        WriteCatalogue(bad);
        EXPECT_NE(Refusal(), "(packed)") << bad;
    }
}

} // namespace
} // namespace kw::tools
