// Any bytes at the end of a program file give a checked directory with readable entries, or a
// Failure that says what is wrong; never a read outside the file.
#include "payload/Container.h"
#include "sys/Failure.h"

#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::byte> file(reinterpret_cast<const std::byte*>(data), size);
    try {
        const kw::payload::Directory dir = kw::payload::ReadDirectory(file);
        for (const auto& [key, entry] : dir.entries) {
            try {
                (void)kw::payload::EntryData(file, entry);
            } catch (const kw::Failure&) {
            }
        }
        (void)kw::payload::BareSize(file);
    } catch (const kw::Failure&) {
    }
    return 0;
}
