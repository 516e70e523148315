#include "testsupport/payload/PayloadTestSupport.h"

#include "payload/Catalogue.h"
#include "payload/Resources.h"
#include "sys/Failure.h"
#include "tools/pack-payload/ContainerWriter.h"

#include <algorithm>
#include <stdexcept>

namespace kw::test {

void PayloadContents::SetBlob(const std::string& name, std::string bytes) {
    for (auto& [n, b] : blobs)
        if (n == name) {
            b = std::move(bytes);
            return;
        }
    blobs.emplace_back(name, std::move(bytes));
}

void PayloadContents::RemoveBlob(const std::string& name) {
    std::erase_if(blobs, [&](const auto& b) { return b.first == name; });
}

const std::string& PayloadContents::Blob(const std::string& name) const {
    for (const auto& [n, b] : blobs)
        if (n == name)
            return b;
    throw std::logic_error("no blob " + name);
}

PayloadContents CatalogueOf(const std::vector<CatalogueEntry>& entries,
                            const std::optional<std::string>& count) {
    PayloadContents contents;
    contents.strings[kCountId] = count.value_or(std::to_string(entries.size()));
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const auto i = static_cast<std::int32_t>(k);
        contents.strings[NumberId(i)] = entries[k].number;
        contents.strings[NameId(i)] = entries[k].name;
        contents.strings[CategoryId(i)] = entries[k].category;
    }
    return contents;
}

std::string FailureOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Failure& e) {
        return e.what();
    }
    return "(no failure)";
}

std::string BlobBytes(const std::string& name, std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t x = 2166136261u;
    for (char c : name)
        x = (x ^ static_cast<unsigned char>(c)) * 16777619u;
    for (char& c : bytes) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = static_cast<char>(x);
    }
    return bytes;
}

PayloadContents SmallPayload(int count, int first) {
    PayloadContents contents;
    contents.strings[kCountId] = std::to_string(count);
    for (int k = 0; k < count; ++k) {
        const std::string nr = std::to_string(first + k);
        contents.strings[NumberId(k)] = nr;
        contents.strings[NameId(k)] = "Naam" + std::to_string(k);
        contents.strings[CategoryId(k)] = std::to_string(k % 38 + 1);
        std::size_t size = 300 + 977 * static_cast<std::size_t>(k);
        for (const BlobKind& kind : kBlobKinds) {
            const std::string name = kind.prefix + nr;
            contents.blobs.emplace_back(name, BlobBytes(name, size));
            size += 1000;
        }
    }
    return contents;
}

ScopedPayload::ScopedPayload(const PayloadContents& contents) {
    payload::ContainerWriter writer(Path());
    for (const auto& [id, text] : contents.strings)
        writer.AddString(id, text);
    for (const auto& [name, bytes] : contents.blobs)
        writer.AddResource(kBlobType, name, std::as_bytes(std::span(bytes.data(), bytes.size())));
    writer.Finish();
    UsePayloadFile(Path());
}

ScopedPayload::~ScopedPayload() {
    UsePayloadFile("");
}

ScopedDemoPayload::ScopedDemoPayload() {
    UsePayloadFile(Path());
}

ScopedDemoPayload::~ScopedDemoPayload() {
    UsePayloadFile("");
}

std::string ScopedDemoPayload::Path() {
    return KW_DEMO_PAYLOAD;
}

TestInstallation::TestInstallation() {
    for (const BlobKind& kind : kBlobKinds)
        fs::create_directories(dir_.Path() / kind.folder);
}

} // namespace kw::test
