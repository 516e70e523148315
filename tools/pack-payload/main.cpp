// pack-payload: builds the payload container from the catalogue and a media folder, and puts a
// container at the end of a program file; or writes the payload as a resource script, which
// windres compiles into the Windows program.
//
//   pack-payload pack <catalogue.tsv> <media-folder> <payload.zip>
//   pack-payload append <program> <payload.zip>
//   pack-payload rc <catalogue.tsv> <media-folder> <payload.rc>
//
// The media folder is laid out as an installation's: pictogrammen/i<nr>.wmf,
// geluiden/man/i<nr>.wav, geluiden/vrouw/i<nr>.wav, thumbs/i<nr>.bmp.
#include "tools/pack-payload/ContainerWriter.h"
#include "tools/pack-payload/Packer.h"

#include <cstdio>
#include <filesystem>
#include <stdexcept>

int main(int argc, char** argv) {
    const std::string verb = argc > 1 ? argv[1] : "";
    try {
        if ((verb == "pack" || verb == "rc") && argc == 5) {
            const auto r = verb == "pack"
                               ? kw::tools::PackPayload(argv[2], argv[3], argv[4])
                               : kw::tools::WriteResourceScript(argv[2], argv[3], argv[4]);
            std::printf("pack-payload: %zu entries, %zu blobs, %llu bytes of media in %s\n",
                        r.entries, 4 * r.entries, static_cast<unsigned long long>(r.mediaBytes),
                        argv[4]);
            return 0;
        }
        if (verb == "append" && argc == 4) {
            kw::payload::AppendContainer(argv[2], argv[3]);
            return 0;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pack-payload: %s\n", e.what());
        if ((verb == "pack" || verb == "rc") && argc == 5)
            std::filesystem::remove(argv[4]); // no half-written output is left behind
        return 1;
    }
    std::fprintf(stderr, "usage: pack-payload pack <catalogue.tsv> <media-folder> <payload.zip>\n"
                         "       pack-payload append <program> <payload.zip>\n"
                         "       pack-payload rc <catalogue.tsv> <media-folder> <payload.rc>\n");
    return 2;
}
