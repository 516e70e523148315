#include "payload/PayloadOperations.h"

#include "payload/Catalogue.h"
#include "sys/Failure.h"
#include "testsupport/payload/PayloadTestSupport.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

using Box = test::RecordingMessageSink::Box;
using test::LogCapture;
using test::RecordingMessageSink;
using test::ScopedPayload;
using test::SmallPayload;

TEST(ResourceDiskSize, RoundsUpToWholeClusters) {
    test::PayloadContents contents = SmallPayload(1);
    const std::pair<std::size_t, std::int32_t> cases[] = {
        {0, 0}, {1, 4096}, {4095, 4096}, {4096, 4096}, {4097, 8192}, {8192, 8192}, {14454, 16384}};
    for (const auto& [length, _] : cases)
        contents.SetBlob("X_" + std::to_string(length), std::string(length, 'x'));
    ScopedPayload payload(contents);
    for (const auto& [length, disk] : cases)
        EXPECT_EQ(ResourceDiskSize("X_" + std::to_string(length)), disk) << length;
    EXPECT_THROW(ResourceDiskSize("X_2"), Failure) << "a missing blob";
}

TEST(NeededDiskSpace, AddsTheClustersOfEveryBlob) {
    LogCapture log;
    RecordingMessageSink boxes;
    // SmallPayload(2): blobs of 300, 1300, 2300, 3300 and 1277, 2277, 3277, 4277 bytes.
    ScopedPayload payload(SmallPayload(2));
    EXPECT_EQ(NeededDiskSpace(), (7 * 4096 + 8192) / 1024);
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_EQ(log.Records().size(), 2u); // the log's start record, then ours
    EXPECT_EQ(log.Records()[1], "NeededDiskSpace() : 36 kB nodig.");
}

TEST(GetResourceExtremes, TakesTheFirstAndTheLastEntry) {
    LogCapture log;
    RecordingMessageSink boxes;
    test::PayloadContents contents = SmallPayload(3);
    contents.strings[NumberId(0)] = "1300";
    contents.strings[NumberId(2)] = "1200";
    ScopedPayload payload(contents);
    std::int32_t lowest = 0, highest = 0;
    GetResourceExtremes(lowest, highest);
    EXPECT_EQ(lowest, 1300);
    EXPECT_EQ(highest, 1200);
    EXPECT_TRUE(boxes.boxes.empty());
    const auto records = log.Records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1], "GetResourceExtremes() : bepalen laagste en hoogste nummers van de "
                          "nieuwe pictogrammen.");
    EXPECT_EQ(records[2], "GetResourceExtremes() : laagste = 1300, hoogste = 1200.");
}

// A damaged catalogue or a missing blob: each reader that meets the damage shows one box, logs
// its text under the reader's name and returns its failure value; a reader that does not meet
// it answers as usual.
TEST(PayloadReaders, EachReaderThatMeetsDamageFailsAlone) {
    const std::string kBadFormat = "Bron heeft een slechte opmaak.";
    const std::string kNoNumber = "Typen komen niet overeen";
    const std::string kBeyond = "Bron met nummer 108 niet gevonden";
    struct Case {
        const char* what;
        std::int32_t id;              // the catalogue string to replace, by `text`
        std::string text;             // (or, with id 0, the blob to take out)
        std::string needed, extremes; // the box each reader shows; empty: it succeeds
    };
    const Case cases[] = {
        {"count 0", kCountId, "0", kBadFormat, kBadFormat},
        {"count -3", kCountId, "-3", kBadFormat, kBadFormat},
        {"count that is no number", kCountId, "twee", kNoNumber, kNoNumber},
        {"count beyond the catalogue", kCountId, "3", kBeyond, kBeyond},
        {"number that is no number", NumberId(1), "12x", "Bron 'P_12x' niet gevonden", kNoNumber},
        {"missing blob", 0, "V_1174", "Bron 'V_1174' niet gevonden", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::PayloadContents contents = SmallPayload(2);
        if (c.id)
            contents.strings[c.id] = c.text;
        else
            contents.RemoveBlob(c.text);
        ScopedPayload payload(contents);
        for (const bool needed : {true, false}) {
            LogCapture log;
            RecordingMessageSink boxes;
            const std::string& box = needed ? c.needed : c.extremes;
            std::int32_t lowest = 7, highest = 7;
            if (needed) {
                EXPECT_EQ(NeededDiskSpace() == -1, !box.empty());
            } else {
                GetResourceExtremes(lowest, highest);
                EXPECT_EQ(lowest == 0 && highest == 0, !box.empty());
            }
            if (box.empty()) {
                EXPECT_TRUE(boxes.boxes.empty());
                EXPECT_EQ(needed || (lowest == 1173 && highest == 1174), true);
                continue;
            }
            EXPECT_EQ(boxes.boxes, (std::vector<Box>{{box, "Kwastor", MsgIcon::None}}));
            EXPECT_EQ(log.Records().back(),
                      std::string(needed ? "NeededDiskSpace" : "GetResourceExtremes")
                          .append("() : ")
                          .append(box));
        }
    }
}

TEST(PayloadReaders, TheDemoPayloadAsShipped) {
    LogCapture log;
    RecordingMessageSink boxes;
    test::ScopedDemoPayload payload;
    EXPECT_EQ(NeededDiskSpace(), 134956);
    std::int32_t lowest = 0, highest = 0;
    GetResourceExtremes(lowest, highest);
    EXPECT_EQ(lowest, 1173);
    EXPECT_EQ(highest, 1480);
    EXPECT_TRUE(boxes.boxes.empty());
    const auto records = log.Records();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1], "NeededDiskSpace() : 134956 kB nodig.");
    EXPECT_EQ(records[3], "GetResourceExtremes() : laagste = 1173, hoogste = 1480.");
}

TEST(ToInt32, ConvertsCatalogueNumbers) {
    EXPECT_EQ(ToInt32("308"), 308);
    EXPECT_EQ(ToInt32(" 12 "), 12);
    EXPECT_EQ(ToInt32("-4"), -4);
    EXPECT_EQ(ToInt32("2147483647"), 2147483647);
    EXPECT_EQ(ToInt32("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"", " ", "1 2", "12a", "0x10", "+", "1.5"})
        EXPECT_THROW(ToInt32(bad), Failure) << bad;
    EXPECT_THROW(ToInt32("2147483648"), Failure);
    EXPECT_THROW(ToInt32("99999999999999999999"), Failure);
}

} // namespace
} // namespace kw
