// Measuring the payload: the disk space that its files will take, and its number range.
#include "payload/Catalogue.h"
#include "payload/Failures.h"
#include "payload/PayloadOperations.h"
#include "payload/Resources.h"

#include "log/Log.h"
#include "sys/Failure.h"

#include <limits>

namespace kw {

namespace {
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kCluster = 4096;
} // namespace

std::int32_t ResourceDiskSize(const std::string& name) {
    // The index knows every blob's length, so its bytes need not be read to measure it.
    const std::int64_t length = ResourceSize(name, kBlobType);
    if (length + (kCluster - 1) > kInt32Max)
        throw Failure("Overloop");
    return static_cast<std::int32_t>((length + kCluster - 1) / kCluster * kCluster);
}

std::int32_t NeededDiskSpace() {
    try {
        const std::int32_t n = CheckedEntryCount();
        std::int64_t total = 0;
        for (std::int32_t k = 0; k < n; ++k) {
            const std::string nr = LoadResString(NumberId(k));
            for (const BlobKind& kind : kBlobKinds) {
                total += ResourceDiskSize(kind.prefix + nr);
                if (total > kInt32Max)
                    throw Failure("Overloop");
            }
        }
        const auto kilobytes = static_cast<std::int32_t>((total + 1023) / 1024);
        gLog->printf("NeededDiskSpace() : " + std::to_string(kilobytes) + " kB nodig.");
        return kilobytes;
    } catch (...) {
        ShowAndLog("NeededDiskSpace", CurrentDescription());
        return -1;
    }
}

void GetResourceExtremes(std::int32_t& lowest, std::int32_t& highest) {
    gLog->printf("GetResourceExtremes() : bepalen laagste en hoogste nummers van de nieuwe "
                 "pictogrammen.");
    try {
        const std::int32_t n = CheckedEntryCount();
        lowest = ToInt32(LoadResString(NumberId(0)));
        for (std::int32_t k = 0; k < n; ++k)
            highest = ToInt32(LoadResString(NumberId(k)));
        gLog->printf("GetResourceExtremes() : laagste = %d, hoogste = %d.", lowest, highest);
    } catch (...) {
        lowest = 0;
        highest = 0;
        ShowAndLog("GetResourceExtremes", CurrentDescription());
    }
}

} // namespace kw
