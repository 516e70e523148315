// make-media: writes the stand-in media of every catalogue entry into a folder laid out as an
// installation's media folders (pictogrammen, geluiden/man, geluiden/vrouw, thumbs).
//
//   make-media <catalogue.tsv> <folder>
#include "tools/make-media/Bmp.h"
#include "tools/make-media/CatalogueFile.h"
#include "tools/make-media/SizePlan.h"
#include "tools/make-media/Speech.h"
#include "tools/make-media/Wav.h"
#include "tools/make-media/Wmf.h"

#include <QGuiApplication>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;
using namespace kw::tools;

namespace {

// The publisher's thumbnail of this pictogram is one row short; the stand-in is too.
constexpr const char* kShortThumb = "1196";

// A number in [0, 1) that depends only on the text, for sizes that vary from file to file.
double Scatter(const std::string& text) {
    std::uint32_t x = 2166136261u;
    for (char c : text)
        x = (x ^ static_cast<unsigned char>(c)) * 16777619u;
    x ^= x >> 15, x *= 0x2C1B3C6Du, x ^= x >> 12;
    return (x & 0xFFFFFF) / double(0x1000000);
}

void Save(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush())
        throw std::runtime_error("cannot write " + file.string());
}

int Run(const std::string& cataloguePath, const fs::path& folder) {
    const std::vector<CatalogueEntry> entries = ReadCatalogueFile(cataloguePath);
    const std::size_t n = entries.size();

    std::vector<std::vector<std::int16_t>> man(n), woman(n);
    std::vector<SizeWish> pictureWish(n), manWish(n), womanWish(n);
    std::vector<std::int64_t> thumbs(n);
    for (std::size_t i = 0; i < n; ++i) {
        const CatalogueEntry& e = entries[i];
        man[i] = Speak(e.name, Voice::Man);
        woman[i] = Speak(e.name, Voice::Woman);
        // Pictures of 12 kB to 400 kB, evenly spread on a logarithmic scale; sounds with up to
        // 0.8 s of silence after the name.
        const std::int64_t least = MinimumWmfSize(e.name, e.number);
        pictureWish[i] = {least, static_cast<std::int64_t>(
                                     12000 * std::pow(400.0 / 12, Scatter("P" + e.number)))};
        const std::int64_t pause = 2 * static_cast<std::int64_t>(0.8 * kSampleRate);
        manWish[i] = {WavSizeFor(man[i].size()),
                      WavSizeFor(man[i].size()) +
                          static_cast<std::int64_t>(pause * Scatter("M" + e.number))};
        womanWish[i] = {WavSizeFor(woman[i].size()),
                        WavSizeFor(woman[i].size()) +
                            static_cast<std::int64_t>(pause * Scatter("V" + e.number))};
        thumbs[i] = BmpSize(e.number == kShortThumb ? 59 : 60);
    }
    const SizePlan plan = PlanSizes(pictureWish, manWish, womanWish, thumbs);

    for (const char* sub : {"pictogrammen", "geluiden/man", "geluiden/vrouw", "thumbs"})
        fs::create_directories(folder / sub);
    std::int64_t bytes = 0, clusters = 0, cut = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const CatalogueEntry& e = entries[i];
        const int category = std::stoi(e.category);
        const std::string base = "i" + e.number;
        const std::string files[4] = {
            MakeWmf(e.name, e.number, category, plan.picture[i]), MakeWav(man[i], plan.man[i]),
            MakeWav(woman[i], plan.woman[i]),
            MakeBmp(e.name, e.number, category, e.number == kShortThumb ? 59 : 60)};
        Save(folder / "pictogrammen" / (base + ".wmf"), files[0]);
        Save(folder / "geluiden/man" / (base + ".wav"), files[1]);
        Save(folder / "geluiden/vrouw" / (base + ".wav"), files[2]);
        Save(folder / "thumbs" / (base + ".bmp"), files[3]);
        for (const std::string& f : files)
            bytes += static_cast<std::int64_t>(f.size()), clusters += Clusters(f.size());
        cut += (plan.man[i] < manWish[i].least) + (plan.woman[i] < womanWish[i].least);
    }
    std::printf("make-media: %zu pictograms, %zu files, %lld bytes, %lld kB on disk; speech: %s"
                "%s\n",
                n, 4 * n, static_cast<long long>(bytes), static_cast<long long>(clusters * 4),
                SpeechEngine().c_str(),
                cut ? (", " + std::to_string(cut) + " sounds cut short").c_str() : "");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-media <catalogue.tsv> <folder>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv); // fonts for the thumbnails
    try {
        return Run(argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-media: %s\n", e.what());
        return 1;
    }
}
