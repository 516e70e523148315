#include "tools/make-media/SizePlan.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace kw::tools {

namespace {

constexpr std::int64_t kCluster = 4096;

std::int64_t EvenUp(std::int64_t v) {
    return v + (v & 1);
}
std::int64_t EvenDown(std::int64_t v) {
    return v - (v & 1);
}

// One file whose size is still free, within [least, most] bytes.
struct Free {
    std::int64_t* size;
    std::int64_t least, most; // even
    double natural;           // in clusters
    std::int64_t clusters = 0;
    std::int64_t MinClusters() const { return Clusters(least); }
    std::int64_t MaxClusters() const { return Clusters(most); }
    // The byte range that the chosen cluster count allows.
    std::int64_t Low() const { return std::max(least, EvenUp((clusters - 1) * kCluster + 1)); }
    std::int64_t High() const { return std::min(most, clusters * kCluster); }
};

} // namespace

SizePlan PlanSizes(const std::vector<SizeWish>& picture, const std::vector<SizeWish>& man,
                   const std::vector<SizeWish>& woman, const std::vector<std::int64_t>& thumbs,
                   const MediaMeasure& measure) {
    const std::size_t n = picture.size();
    if (man.size() != n || woman.size() != n || thumbs.size() != n || n < 2)
        throw std::runtime_error("size plan: every kind needs one wish per entry, two at least");

    SizePlan plan{std::vector<std::int64_t>(n), std::vector<std::int64_t>(n),
                  std::vector<std::int64_t>(n)};
    std::int64_t fixedBytes = 0, fixedClusters = 0;
    for (std::int64_t t : thumbs)
        fixedBytes += t, fixedClusters += Clusters(t);

    std::vector<Free> free;
    auto kind = [&](const std::vector<SizeWish>& wishes, std::vector<std::int64_t>& sizes,
                    const KindRange& range) {
        // The one that needs least gets the smallest size, the one that needs most the largest.
        std::size_t small = 0, large = 0;
        for (std::size_t i = 1; i < n; ++i) {
            if (wishes[i].least < wishes[small].least)
                small = i;
            if (wishes[i].least >= wishes[large].least)
                large = i;
        }
        if (small == large)
            large = small == 0 ? 1 : 0;
        sizes[small] = range.smallest;
        sizes[large] = range.largest;
        for (std::size_t i : {small, large})
            fixedBytes += sizes[i], fixedClusters += Clusters(sizes[i]);
        for (std::size_t i = 0; i < n; ++i) {
            if (i == small || i == large)
                continue;
            const std::int64_t least =
                std::clamp(EvenUp(wishes[i].least), range.smallest, range.largest);
            const double natural =
                static_cast<double>(std::clamp(wishes[i].natural, least, range.largest)) / kCluster;
            free.push_back({&sizes[i], least, range.largest, natural});
        }
    };
    kind(picture, plan.picture, measure.picture);
    kind(man, plan.man, measure.man);
    kind(woman, plan.woman, measure.woman);

    // Clusters: scale every natural size by one factor so that they add up, then settle the
    // last few one cluster at a time.
    const std::int64_t wantClusters = measure.totalClusters - fixedClusters;
    auto clustersAt = [&](double f) {
        std::int64_t sum = 0;
        for (Free& x : free) {
            x.clusters = std::clamp(static_cast<std::int64_t>(std::ceil(x.natural * f)),
                                    x.MinClusters(), x.MaxClusters());
            sum += x.clusters;
        }
        return sum;
    };
    double lo = 0, hi = 1;
    while (clustersAt(hi) < wantClusters && hi < 1e6)
        hi *= 2;
    for (int i = 0; i < 100; ++i) {
        const double mid = (lo + hi) / 2;
        (clustersAt(mid) < wantClusters ? lo : hi) = mid;
    }
    std::int64_t missing = wantClusters - clustersAt(lo);
    for (bool moved = true; missing != 0 && moved;) {
        moved = false;
        for (Free& x : free) {
            if (missing > 0 && x.clusters < x.MaxClusters())
                ++x.clusters, --missing, moved = true;
            else if (missing < 0 && x.clusters > x.MinClusters())
                --x.clusters, ++missing, moved = true;
            if (missing == 0)
                break;
        }
    }
    if (missing != 0)
        throw std::runtime_error("size plan: the clusters can't be met (" +
                                 std::to_string(missing) + " left)");

    // Bytes: every file at the same fraction of the room its cluster count leaves, then the
    // last few bytes two at a time.
    const std::int64_t wantBytes = measure.totalBytes - fixedBytes;
    std::int64_t low = 0, room = 0;
    for (const Free& x : free) {
        if (x.Low() > x.High())
            throw std::runtime_error("size plan: a cluster count leaves no room");
        low += x.Low(), room += x.High() - x.Low();
    }
    if (wantBytes < low || wantBytes > low + room || (wantBytes & 1))
        throw std::runtime_error("size plan: the bytes can't be met");
    const double fraction = room ? static_cast<double>(wantBytes - low) / room : 0;
    std::int64_t sum = 0;
    for (Free& x : free) {
        *x.size = x.Low() + EvenDown(static_cast<std::int64_t>(fraction * (x.High() - x.Low())));
        sum += *x.size;
    }
    for (bool moved = true; sum != wantBytes && moved;) {
        moved = false;
        for (Free& x : free) {
            if (sum < wantBytes && *x.size + 2 <= x.High())
                *x.size += 2, sum += 2, moved = true;
            else if (sum > wantBytes && *x.size - 2 >= x.Low())
                *x.size -= 2, sum -= 2, moved = true;
            if (sum == wantBytes)
                break;
        }
    }
    if (sum != wantBytes)
        throw std::runtime_error("size plan: the bytes can't be met");
    return plan;
}

} // namespace kw::tools
