#include "FrameWords.h"

#include "HexBytes.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace quellix {

namespace {

constexpr LinkDirection Out = LinkDirection::ToUnit;
constexpr LinkDirection In = LinkDirection::FromUnit;

// Channel 4 is disabled with one decimal: the monitor still shows its values.
const std::array<std::uint8_t, 4> Flags{0x01, 0x01, 0x02, 0x41};

// Points of channels 1 to 4: (0, 0.0) (1023, 120.0); (0, 15.0) (1023, 95.0); (0, 0.00) (1023, 16.00);
// (---, 0.0) (1023, 100.0).
const std::string Table = "00 00 00 00 FF 03 B0 04 00 00 96 00 FF 03 B6 03 "
                          "00 00 00 00 FF 03 40 06 00 80 00 00 FF 03 E8 03";
const char* const TableWords = "1: 0 \u2192 0.0, 1023 \u2192 120.0; 2: 0 \u2192 15.0, 1023 \u2192 95.0; "
                               "3: 0 \u2192 0.00, 1023 \u2192 16.00; 4: --- \u2192 0.0, 1023 \u2192 100.0";

struct WordsCase {
    LinkDirection direction;
    std::string hex;
    QString words;
};

const WordsCase Cases[] = {
    // Every request the tool sends.
    {Out, "01 78 00", "measurement request"},
    {Out, "01 78 0A 07 01 00 00 00 00 00 00 00 00", "measurement request, long form"},
    {Out, "01 76 00", "version request"},
    {Out, "01 63 00", "calibration request"},
    {Out, "01 70 0A 00 14 00 00 00 00 00 00 00 00", "item request: Header 1 (code 20, index 0)"},
    {Out, "01 70 0A 00 15 00 00 00 00 00 00 00 00", "item request: Header 2 (code 21, index 0)"},
    {Out, "01 70 0A 00 16 00 00 00 00 00 00 00 00", "item request: Tag 1 (code 22, index 0)"},
    {Out, "01 70 0A 03 17 00 00 00 00 00 00 00 00", "item request: Units 4 (code 23, index 3)"},
    {Out, "01 70 0A 07 18 00 00 00 00 00 00 00 00", "item request: Flags (code 24, index 7)"},
    {Out, "01 71 0D 00 16 42 6F 69 6C 65 72 20 46 6C 6F 77", "item write: Tag 1 = 'Boiler Flow'"},
    {Out, "01 71 04 01 17 B0 43", "item write: Units 2 = '\u00B0C'"},
    {Out, "01 71 03 00 14 20", "item write: Header 1 = ' '"},
    {Out, "01 71 06 07 18 00 41 02 00",
     "item write: Flags = 00 41 02 00 (decimals 0 1 2 0, channel 2 disabled)"},
    {Out, "01 71 06 07 18 41 01 42 00",
     "item write: Flags = 41 01 42 00 (decimals 1 1 2 0, channels 1, 3 disabled)"},
    {Out, "01 62 20 " + Table, QStringLiteral("calibration write: ") + TableWords},
    {Out, "01 73 00", "store command"},
    {Out, "01 7A 00", "unknown request 'z'"},
    // Every reply the unit sends, as the tool takes it.
    {In, "01 58 10 00 02 E8 01 12 02 9F 02 3C 02 F3 01 3D 03 90 02",
     "readings: raw 512 488 530 671, shown 57.2 49.9 8.29 65.6"},
    {In, "01 58 10 10 00 20 00 30 00 40 00 FF FF FE FF 00 80 01 00",
     "readings: raw 16 32 48 64, shown -0.1 -0.2 --- 0.1"},
    {In, "01 58 02 01 00", "readings too short to use (2 of 16 payload bytes)"},
    {In, "01 56 0A 51 58 2D 34 20 56 32 2E 31 30", "version reply: 'QX-4 V2.10'"},
    {In, "01 56 05 31 2E 32 00 39", "version reply: '1.2'"},
    {In, "01 56 03 41 07 42", "version reply: 'A\\x07B'"},
    {In, "01 43 20 " + Table, QStringLiteral("calibration reply: ") + TableWords},
    {In, "01 43 04 00 00 00 00", "calibration reply too short to use (4 of 32 payload bytes)"},
    {In, "01 50 0D 00 16 42 6F 69 6C 65 72 20 46 6C 6F 77", "item reply: Tag 1 = 'Boiler Flow'"},
    {In, "01 50 04 01 17 B0 43", "item reply: Units 2 = '\u00B0C'"},
    {In, "01 50 06 00 14 41 42 00 43", "item reply: Header 1 = 'AB'"},
    {In,
     "01 50 1B 03 16 " +
         std::string("41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 51 52 53 54 55 56 57 58 59"),
     "item reply: Tag 4 = 'ABCDEFGHIJKLMNOPQRST' (cut to 20 characters)"},
    {In, "01 50 0E 02 17 4B 69 6C 6F 70 61 73 63 61 6C 73 31",
     "item reply: Units 3 = 'Kilopascal' (cut to 10 characters)"},
    {In, "01 50 06 07 18 02 41 00 01",
     "item reply: Flags = 02 41 00 01 (decimals 2 1 0 1, channel 2 disabled)"},
    {In, "01 50 05 07 18 02 41 00", "item reply: Flags with 3 bytes, not 4: not stored"},
    {In, "01 50 05 09 16 41 42 43", "item reply: Tag (index 9), no such channel: not stored"},
    {In, "01 50 03 00 1E 41", "item reply: unknown item (code 30), ignored"},
    {In, "01 50 01 00", "item reply too short to use (1 of 2 payload bytes)"},
    {In, "01 54 00", "advance: the download moves on"},
    {In, "01 42 00", "calibration acknowledged"},
    {In, "01 51 00", "item acknowledged"},
    {In, "01 53 00", "store acknowledged"},
    {In, "01 5A 01 00", "unknown letter 'Z', ignored"},
    {In, "01 07 00", "unknown letter 0x07, ignored"},
    {In, "01 76 00", "unknown letter 'v', ignored"},
    // Short and odd frames.
    {In, "01 51", "incomplete frame (2 bytes)"},
    {Out, "", "incomplete frame (0 bytes)"},
    {In, "00 54 00", "advance: the download moves on (starts with 0x00, not 0x01)"},
    {In, "01 51 02 00", "item acknowledged; length byte says 2 payload bytes, 1 follow"},
};

} // namespace

TEST(FrameWords, EveryFrameKindInBothDirections) {
    for (const WordsCase& c : Cases) {
        SCOPED_TRACE(c.hex);
        EXPECT_EQ(FrameWords(HexBytes(c.hex), c.direction, Flags), c.words);
    }
}

TEST(FrameWords, DisplayedValuesFollowTheChannelsDecimals) {
    const std::string readings = HexBytes("01 58 10 00 00 00 00 00 00 00 00 D2 04 D2 04 D2 04 D2 04");
    const std::array<std::uint8_t, 4> plain{0, 1, 2, 3}, odd{4, 0x42, 0x83, 0};
    EXPECT_EQ(FrameWords(readings, In, plain), "readings: raw 0 0 0 0, shown 1234 123.4 12.34 1.234");
    EXPECT_EQ(FrameWords(readings, In, odd), "readings: raw 0 0 0 0, shown 1234 12.34 1.234 1234");
}

TEST(FrameWords, HexAndEventWords) {
    EXPECT_EQ(HexText(HexBytes("01 76 00 FF 0A")), "01 76 00 FF 0A");
    EXPECT_EQ(HexText({}), "");
    const std::pair<DropReason, QString> drops[] = {
        {DropReason::ExtraBytes, "more than one frame, or bytes after a frame"},
        {DropReason::WaitingTooLong, "a waiting frame longer than 35 payload bytes"},
        {DropReason::NoStartByte, "first byte is not 0x01"},
        {DropReason::ReplyTooShort, "reply too short to use"},
    };
    for (const auto& [reason, words] : drops)
        EXPECT_EQ(DropWords(reason), words);
    EXPECT_EQ(ResendWords(0), "");
    EXPECT_EQ(ResendWords(3), "resend 3");
    const struct {
        LinkSequence sequence;
        int step;
        StepOutcome outcome;
        QString words;
    } sequences[] = {
        {LinkSequence::Download, 2, StepOutcome::Requested, "download started"},
        {LinkSequence::Download, 15, StepOutcome::Complete, "download: \" Complete \""},
        {LinkSequence::Upload, 4, StepOutcome::Error,
         "upload: \" Error \", step 4 unanswered after its resends"},
        {LinkSequence::Download, 7, StepOutcome::Aborted,
         "download: \" Error \", aborted at step 7: the port went away"},
    };
    for (const auto& c : sequences)
        EXPECT_EQ(SequenceWords(c.sequence, c.step, c.outcome), c.words);
}

} // namespace quellix
