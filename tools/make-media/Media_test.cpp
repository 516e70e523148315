#include "tools/make-media/Bmp.h"
#include "tools/make-media/CatalogueFile.h"
#include "tools/make-media/SizePlan.h"
#include "tools/make-media/Speech.h"
#include "tools/make-media/Wav.h"
#include "tools/make-media/Wmf.h"

#include "testsupport/TestSupport.h"

#include <QGuiApplication>
#include <gtest/gtest.h>
#include <map>

namespace kw::tools {
namespace {

std::uint64_t Get(const std::string& s, std::size_t at, int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<std::uint64_t>(static_cast<unsigned char>(s[at + i])) << (8 * i);
    return v;
}

void NeedGui() {
    static int argc = 1;
    static char name[] = "media_test";
    static char* argv[] = {name, nullptr};
    if (!QGuiApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QGuiApplication(argc, argv);
    }
}

TEST(CatalogueFile, TheRepositorysCatalogue) {
    const auto entries = ReadCatalogueFile(KW_CATALOGUE);
    ASSERT_EQ(entries.size(), 308u);
    EXPECT_EQ(entries[0].number, "1173");
    EXPECT_EQ(entries[0].name, "Aanrecht ");
    EXPECT_EQ(entries[0].category, "5");
    EXPECT_EQ(entries[307].number, "1480");
    EXPECT_EQ(entries[307].name, "verkouden");
    EXPECT_EQ(entries[307].category, "36");
    for (std::size_t k = 0; k < entries.size(); ++k) {
        EXPECT_EQ(entries[k].number, std::to_string(1173 + k));
        EXPECT_GE(entries[k].name.size(), 3u);
        EXPECT_EQ(entries[k].name.find('\''), std::string::npos);
    }
    EXPECT_EQ(entries[1205 - 1173].name, "Opticiën");

    // How many pictograms each category gets; 29 to 38 are the categories that the update adds.
    std::map<int, int> perCategory;
    for (const auto& e : entries)
        ++perCategory[std::stoi(e.category)];
    const std::map<int, int> expected = {{1, 7},   {2, 2},   {3, 3},   {4, 26},  {5, 6},   {6, 5},
                                         {7, 20},  {9, 3},   {10, 9},  {14, 34}, {15, 7},  {16, 2},
                                         {17, 8},  {18, 16}, {19, 28}, {20, 4},  {25, 35}, {27, 1},
                                         {29, 32}, {30, 14}, {31, 3},  {32, 1},  {33, 2},  {34, 3},
                                         {35, 10}, {36, 19}, {37, 1},  {38, 7}};
    EXPECT_EQ(perCategory, expected);
}

TEST(CatalogueFile, ABadLineIsNamed) {
    test::TempDir dir;
    test::WriteFile(dir.Path() / "c.tsv", "# note\n1\tEen\t2\n2\tTwee\n");
    try {
        ReadCatalogueFile((dir.Path() / "c.tsv").string());
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("c.tsv:3:"), std::string::npos) << e.what();
    }
}

TEST(SizePlan, MeetsTheMeasure) {
    const std::size_t n = 308;
    std::vector<SizeWish> p(n), m(n), v(n);
    std::vector<std::int64_t> t(n, BmpSize(60));
    t[23] = BmpSize(59);
    for (std::size_t i = 0; i < n; ++i) {
        p[i] = {900, 12000 + static_cast<std::int64_t>((i * 7919) % 390000)};
        m[i] = {30000 + static_cast<std::int64_t>((i * 104729) % 120000), 0};
        m[i].natural = m[i].least + static_cast<std::int64_t>((i * 31) % 70000);
        v[i] = {m[i].least + 1001, m[i].natural + 5000};
    }
    const SizePlan plan = PlanSizes(p, m, v, t);
    const MediaMeasure measure;
    std::int64_t bytes = 0, clusters = 0;
    auto check = [&](const std::vector<std::int64_t>& sizes, const std::vector<SizeWish>& wishes,
                     KindRange range) {
        EXPECT_EQ(*std::min_element(sizes.begin(), sizes.end()), range.smallest);
        EXPECT_EQ(*std::max_element(sizes.begin(), sizes.end()), range.largest);
        for (std::size_t i = 0; i < n; ++i) {
            EXPECT_EQ(sizes[i] % 2, 0);
            if (sizes[i] != range.smallest) {
                EXPECT_GE(sizes[i], std::min(wishes[i].least, range.largest)) << i;
            }
            bytes += sizes[i], clusters += Clusters(sizes[i]);
        }
    };
    check(plan.picture, p, measure.picture);
    check(plan.man, m, measure.man);
    check(plan.woman, v, measure.woman);
    for (std::int64_t s : t)
        bytes += s, clusters += Clusters(s);
    EXPECT_EQ(bytes, 135752282);
    EXPECT_EQ(clusters * 4096, 138194944);
}

TEST(Wmf, IsAPlaceableMetafileOfTheGivenSize) {
    for (std::int64_t size : {MinimumWmfSize("Opticiën", "1205"), std::int64_t{4778},
                              std::int64_t{65536 + 4}, std::int64_t{1055376}}) {
        const std::string wmf = MakeWmf("Opticiën", "1205", 18, size);
        ASSERT_EQ(static_cast<std::int64_t>(wmf.size()), size);
        EXPECT_EQ(wmf.substr(0, 4), "\xD7\xCD\xC6\x9A");
        EXPECT_EQ(Get(wmf, 14, 2), 1440u);
        EXPECT_EQ(Get(wmf, 10, 2), 5670u);
        std::uint16_t checksum = 0;
        for (int w = 0; w < 10; ++w)
            checksum ^= static_cast<std::uint16_t>(Get(wmf, 2 * w, 2));
        EXPECT_EQ(Get(wmf, 20, 2), checksum);
        // The metafile header's size, and a walk over the records to the EOF record at the end.
        EXPECT_EQ(Get(wmf, 22, 2), 1u);
        EXPECT_EQ(Get(wmf, 28, 4), (wmf.size() - 22) / 2);
        std::size_t at = 22 + 18, largest = 0;
        while (true) {
            const std::size_t words = Get(wmf, at, 4);
            ASSERT_GE(words, 3u);
            largest = std::max(largest, words);
            if (Get(wmf, at + 4, 2) == 0)
                break;
            at += 2 * words;
            ASSERT_LT(at, wmf.size());
        }
        EXPECT_EQ(at + 6, wmf.size());
        EXPECT_EQ(Get(wmf, 34, 4), largest);
        EXPECT_NE(wmf.find("Optici\xEBn"), std::string::npos) << "the name in Windows-1252";
    }
    EXPECT_THROW(MakeWmf("Dik", "1400", 36, 4779), std::runtime_error);
    EXPECT_THROW(MakeWmf("Dik", "1400", 36, MinimumWmfSize("Dik", "1400") - 2), std::runtime_error);
}

TEST(Wav, IsPcmOfTheGivenSize) {
    const std::vector<std::int16_t> samples(10000, 1000);
    for (std::int64_t size :
         {std::int64_t{47716}, WavSizeFor(samples.size()), std::int64_t{781680}}) {
        const std::string wav = MakeWav(samples, size);
        ASSERT_EQ(static_cast<std::int64_t>(wav.size()), size);
        EXPECT_EQ(wav.substr(0, 4), "RIFF");
        EXPECT_EQ(Get(wav, 4, 4), wav.size() - 8);
        EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
        EXPECT_EQ(Get(wav, 20, 2), 1u); // PCM
        EXPECT_EQ(Get(wav, 22, 2), 1u); // mono
        EXPECT_EQ(Get(wav, 24, 4), 44100u);
        EXPECT_EQ(Get(wav, 34, 2), 16u);
        EXPECT_EQ(wav.substr(36, 4), "data");
        EXPECT_EQ(Get(wav, 40, 4), wav.size() - 44);
    }
    // Too little room: the samples are cut and faded out, the size still holds.
    const std::string cut = MakeWav(samples, 44 + 2 * 5000);
    EXPECT_EQ(cut.size(), 44u + 2 * 5000);
    EXPECT_EQ(Get(cut, cut.size() - 2, 2), 0u);
}

TEST(Speech, SpeaksADutchName) {
    const auto man = Speak("Aardrijkskunde", Voice::Man);
    const auto woman = Speak("Aardrijkskunde", Voice::Woman);
    EXPECT_GT(man.size(), static_cast<std::size_t>(kSampleRate / 4));
    EXPECT_LT(man.size(), static_cast<std::size_t>(kSampleRate * 4));
    EXPECT_FALSE(woman.empty());
    EXPECT_NE(man, woman);
    // The synthesiser carries a little state from one utterance to the next, so a second time
    // comes out nearly, not exactly, the same.
    const auto again = Speak("Aardrijkskunde", Voice::Man);
    EXPECT_NEAR(static_cast<double>(again.size()), static_cast<double>(man.size()),
                man.size() * 0.05);
}

TEST(Speech, Resample) {
    const std::vector<std::int16_t> in{0, 100, 200};
    EXPECT_EQ(Resample(in, 22050, 44100), (std::vector<std::int16_t>{0, 50, 100, 150, 200, 200}));
    EXPECT_EQ(TrimSilence({0, 5, 1000, -2000, 3, 0}), (std::vector<std::int16_t>{1000, -2000}));
}

TEST(Bmp, IsA32BitThumbnail) {
    NeedGui();
    for (int height : {60, 59}) {
        const std::string bmp = MakeBmp("Aanrecht ", "1173", 5, height);
        ASSERT_EQ(static_cast<std::int64_t>(bmp.size()), BmpSize(height));
        EXPECT_EQ(bmp.substr(0, 2), "BM");
        EXPECT_EQ(Get(bmp, 2, 4), bmp.size());
        EXPECT_EQ(Get(bmp, 10, 4), 54u);
        EXPECT_EQ(Get(bmp, 14, 4), 40u);
        EXPECT_EQ(Get(bmp, 18, 4), 60u);
        EXPECT_EQ(Get(bmp, 22, 4), static_cast<std::uint64_t>(height));
        EXPECT_EQ(Get(bmp, 28, 2), 32u);
        EXPECT_EQ(Get(bmp, 30, 4), 0u);
    }
    EXPECT_EQ(BmpSize(60), 14454);
    EXPECT_EQ(BmpSize(59), 14214);
}

} // namespace
} // namespace kw::tools
