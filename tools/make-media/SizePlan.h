// The sizes of the demo media files. The stand-ins are made to the measure of the publisher's
// media, so that the program reports the same figures with either: every kind keeps its
// smallest and largest size, and all files together hold the same bytes and the same clusters
// of 4096 bytes on disk.
#pragma once

#include <cstdint>
#include <vector>

namespace kw::tools {

/// The measure of one kind of media: the sizes of its smallest and largest file.
struct KindRange {
    std::int64_t smallest, largest;
};

/// What every kind must hold. The thumbnails have one size but for one file.
struct MediaMeasure {
    KindRange picture{4778, 1055376};
    KindRange man{47716, 619112};
    KindRange woman{49806, 781680};
    std::int64_t totalBytes = 135752282;
    std::int64_t totalClusters = 138194944 / 4096;
};

/// One file's wish: the least it needs to hold its content, and how large it would be of itself.
struct SizeWish {
    std::int64_t least;
    std::int64_t natural;
};

/// The planned sizes: picture, man, woman for each entry (thumbnails are given).
struct SizePlan {
    std::vector<std::int64_t> picture, man, woman;
};

/// Plans the sizes of the sound and picture files of all entries, given what each needs and the
/// sizes of the thumbnails. All sizes are even. A wish whose least is more than its kind's
/// largest size gets the largest size (its content must be cut); the file that gets a kind's
/// smallest size is the one that needs least, and its content may have to be cut too.
/// Raises std::runtime_error when the measure can't be met.
SizePlan PlanSizes(const std::vector<SizeWish>& picture, const std::vector<SizeWish>& man,
                   const std::vector<SizeWish>& woman, const std::vector<std::int64_t>& thumbs,
                   const MediaMeasure& measure = {});

/// Clusters of 4096 bytes that a file of this size takes.
inline std::int64_t Clusters(std::int64_t size) {
    return (size + 4095) / 4096;
}

} // namespace kw::tools
