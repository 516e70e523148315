// The Windows program's payload as its resources: the same texts and blobs as the container that
// the Linux program carries, and a blob refused when it is damaged or missing.
#include "payload/Catalogue.h"
#include "payload/Container.h"
#include "payload/Resources.h"
#include "sys/Failure.h"

#include <gtest/gtest.h>

#include <vector>

namespace kw {
namespace {

// Every catalogue text and every blob's size and CRC-32, as the current payload gives them.
std::vector<std::string> Fingerprint() {
    std::vector<std::string> out;
    const std::int32_t count = CheckedEntryCount();
    for (std::int32_t id = kCountId; id <= CategoryId(count - 1); ++id)
        out.push_back(LoadResString(id));
    for (std::int32_t k = 0; k < count; ++k)
        for (const BlobKind& kind : kBlobKinds) {
            const std::string name = kind.prefix + LoadResString(NumberId(k));
            const std::int64_t size = ResourceSize(name, kBlobType);
            const auto blob = LoadResData(name, kBlobType);
            EXPECT_EQ(static_cast<std::int64_t>(blob->Bytes().size()), size) << name;
            out.push_back(name + " " + std::to_string(size) + " " +
                          std::to_string(payload::Crc32(blob->Bytes())));
        }
    return out;
}

TEST(WindowsResources, HoldWhatTheContainerHolds) {
    UsePayloadFile("");
    const std::vector<std::string> resources = Fingerprint();
    UsePayloadFile("Z:" KW_DEMO_PAYLOAD);
    const std::vector<std::string> container = Fingerprint();
    UsePayloadFile("");
    ASSERT_EQ(resources.size(), 925u + 1232u);
    EXPECT_EQ(resources, container);
    EXPECT_EQ(resources[NameId(32) - kCountId], "Opticiën");
}

TEST(WindowsResources, RefuseDamagedAndMissingBlobs) {
    UsePayloadFile("");
    const struct {
        const char* name;
        std::int64_t size; // -1: missing
        const char* failure;
    } cases[] = {
        {"X_DAMAGED", 7, "De bron van het programma is beschadigd: 'BLOB/X_DAMAGED' (CRC)"},
        {"X_NOCRC", 6, "De bron van het programma is beschadigd: 'BLOB/X_NOCRC' (CRC)"},
        {"X_MISSING", -1, "Bron 'X_MISSING' niet gevonden"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            LoadResData(c.name, kBlobType);
            ADD_FAILURE() << "loaded";
        } catch (const Failure& f) {
            EXPECT_STREQ(f.what(), c.failure);
        }
        if (c.size >= 0)
            EXPECT_EQ(ResourceSize(c.name, kBlobType), c.size) << "measured without being read";
        else
            EXPECT_THROW(ResourceSize(c.name, kBlobType), Failure);
    }
    try {
        LoadResString(CategoryId(308));
        ADD_FAILURE() << "loaded";
    } catch (const Failure& f) {
        EXPECT_STREQ(f.what(), "Bron met nummer 1028 niet gevonden");
    }
}

} // namespace
} // namespace kw
