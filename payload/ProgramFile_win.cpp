#include "payload/Catalogue.h"
#include "payload/Container.h"
#include "payload/ProgramFile.h"

#include <windows.h>

#include <cstring>

namespace kw {

namespace {

// A blob's bytes where the loader mapped them with the program's image: they stay valid while the
// program runs, and there is nothing to give back.
class ResourceBlob final : public Blob {
public:
    explicit ResourceBlob(std::span<const std::byte> bytes) : bytes_(bytes) {}
    std::span<const std::byte> Bytes() const override { return bytes_; }

private:
    std::span<const std::byte> bytes_;
};

// The resource's bytes in the image, or an empty span when it has none.
std::span<const std::byte> ResourceBytes(HRSRC resource) {
    const HGLOBAL loaded = ::LoadResource(nullptr, resource);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data)
        return {};
    return {static_cast<const std::byte*>(data), ::SizeofResource(nullptr, resource)};
}

// The catalogue is the program's string table, the blobs are resources of their type under their
// names, each with its CRC-32 beside it (made by pack-payload rc).
class ResourcePayload final : public PayloadSource {
public:
    std::string String(std::int32_t id) override {
        // With no buffer, LoadStringW points at the text in the image; its length comes back.
        const wchar_t* text = nullptr;
        const int length = ::LoadStringW(::GetModuleHandleW(nullptr), static_cast<UINT>(id),
                                         reinterpret_cast<LPWSTR>(&text), 0);
        if (length <= 0 || !text)
            MissingString(id);
        std::string utf8(static_cast<std::size_t>(::WideCharToMultiByte(
                             CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr)),
                         '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), static_cast<int>(utf8.size()),
                              nullptr, nullptr);
        return utf8;
    }

    std::unique_ptr<Blob> Data(const std::string& name, const std::string& type) override {
        const std::span<const std::byte> bytes = ResourceBytes(Find(name, type));
        const HRSRC crcResource = ::FindResourceA(nullptr, name.c_str(), kCrcType);
        const std::span<const std::byte> crc =
            crcResource ? ResourceBytes(crcResource) : std::span<const std::byte>();
        std::uint32_t stored = 0;
        if (crc.size() == sizeof stored)
            std::memcpy(&stored, crc.data(), sizeof stored); // little-endian, as is the machine
        if (crc.size() != sizeof stored || payload::Crc32(bytes) != stored)
            payload::Damaged("'" + payload::ResourceEntryName(type, name) + "' (CRC)");
        return std::make_unique<ResourceBlob>(bytes);
    }

    std::int64_t Size(const std::string& name, const std::string& type) override {
        return ::SizeofResource(nullptr, Find(name, type));
    }

private:
    static HRSRC Find(const std::string& name, const std::string& type) {
        const HRSRC resource = ::FindResourceA(nullptr, name.c_str(), type.c_str());
        if (!resource)
            MissingBlob(name);
        return resource;
    }
};

} // namespace

std::shared_ptr<PayloadSource> OpenProgramPayload() {
    return std::make_shared<ResourcePayload>();
}

} // namespace kw
