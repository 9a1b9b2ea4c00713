#include "ConfigJson.h"
#include "BlockImages.h"

#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

namespace quellix {

namespace {

ConfigBlock blockOf(const QByteArray& bytes) {
    ConfigBlock block;
    for (std::size_t i = 0; i < ConfigBlockSize; ++i)
        BlockBytes(block)[i] =
            bytes.isEmpty() ? 0 : static_cast<std::uint8_t>(bytes[qsizetype(i) % bytes.size()]);
    return block;
}

// Export, import, and export again: the same bytes and the same text.
void expectRoundTrip(const ConfigBlock& block) {
    const QByteArray json = ConfigToJson(block);
    ConfigJsonError error;
    const std::optional<ConfigBlock> back = ConfigFromJson(json, &error);
    ASSERT_TRUE(back) << error.path.toStdString() << ": " << error.reason.toStdString() << "\n"
                      << json.toStdString();
    ASSERT_EQ(BlockImage(*back), BlockImage(block)) << json.toStdString();
    EXPECT_EQ(ConfigToJson(*back), json);
}

} // namespace

TEST(ConfigJsonTest, EveryCorpusSeedSurvivesAsAnImage) {
    int seeds = 0;
    QDirIterator it(QStringLiteral(QUELLIX_SOURCE_DIR "/fuzz/corpus"), QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        SCOPED_TRACE(file.fileName().toStdString());
        expectRoundTrip(blockOf(file.readAll()));
        ++seeds;
    }
    EXPECT_GE(seeds, 20);
}

TEST(ConfigJsonTest, RandomImagesSurvive) {
    std::mt19937 rng(1402);
    for (int run = 0; run < 3000; ++run) {
        ConfigBlock block;
        for (std::size_t i = 0; i < ConfigBlockSize; ++i)
            BlockBytes(block)[i] = static_cast<std::uint8_t>(rng());
        // Every third image gets lengths within the fields, as the tool writes them.
        if (run % 3 == 0) {
            for (std::size_t i = 0; i < 4; ++i) {
                block.TagName[i].Length %= 21;
                block.UnitName[i].Length %= 11;
            }
        }
        SCOPED_TRACE(run);
        expectRoundTrip(block);
    }
}

TEST(ConfigJsonTest, EdgeValuesSurviveWithEveryFlagsByte) {
    const std::int16_t values[] = {NoValue, -32767, -1, 0, 1, 32767};
    for (int flags = 0; flags < 256; ++flags) {
        ConfigBlock block = DefaultBlock();
        for (int i = 0; i < 4; ++i) {
            block.ChannelFlags[i] = static_cast<std::uint8_t>(flags);
            block.Calibration[i] = {values[i], values[i + 1], values[i + 2], values[5 - i]};
            block.RawValue[i] = values[5 - i];
            block.MeasuredValue[i] = values[i + 1];
        }
        SCOPED_TRACE(flags);
        expectRoundTrip(block);
    }
}

TEST(ConfigJsonTest, DefaultsExportAsTheDocumentedExample) {
    QFile golden(QStringLiteral(QUELLIX_SOURCE_DIR "/tests/config/DefaultConfig.json"));
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly));
    EXPECT_EQ(ConfigToJson(DefaultBlock()).toStdString(), golden.readAll().toStdString());
}

TEST(ConfigJsonTest, AHandWrittenFileTakesDefaultsForWhatItLeavesOut) {
    const QByteArray json = R"({
      "format": "quellix-config", "version": 1,
      "header1": "Boiler House", "header2": "",
      "channel1": { "tag": "Flow", "units": "m3/h", "decimals": 1, "disabled": false,
                    "point1": { "raw": 0, "value": "0" }, "point2": { "raw": 1000, "value": "12.5" } },
      "channel2": { "tag": "Temp", "units": "\u00B0C", "decimals": 2, "disabled": true,
                    "point1": { "raw": null, "value": null }, "point2": { "raw": -5, "value": "-0.05" } },
      "channel3": { "tag": "", "units": "", "decimals": 0, "disabled": false, "flags": "0x04",
                    "point1": { "raw": 1, "value": "1.000" }, "point2": { "raw": 2, "value": "-32767" } },
      "channel4": { "tag": "Level", "units": "%", "decimals": 3, "disabled": false,
                    "point1": { "raw": 10, "value": "32.767" }, "point2": { "raw": 20, "value": "0.5" } }
    })";
    ConfigJsonError error;
    const std::optional<ConfigBlock> block = ConfigFromJson(json, &error);
    ASSERT_TRUE(block) << error.path.toStdString() << ": " << error.reason.toStdString();
    const ConfigBlock d = DefaultBlock();

    EXPECT_EQ(block->Header1.text(), "Boiler House");
    EXPECT_EQ(block->Header2.Length, 0);
    EXPECT_EQ(block->UnitName[1].text(), "\xB0"
                                         "C");
    // Without "flags" the byte is the decimals plus the disabled mark; with it, the byte as given.
    EXPECT_EQ(block->ChannelFlags[0], 0x01);
    EXPECT_EQ(block->ChannelFlags[1], 0x42);
    EXPECT_EQ(block->ChannelFlags[2], 0x04);
    EXPECT_EQ(block->ChannelFlags[3], 0x03);
    EXPECT_EQ(block->Calibration[0].Calib2, 125);
    EXPECT_EQ(block->Calibration[1].Measured1, NoValue);
    EXPECT_EQ(block->Calibration[1].Calib1, NoValue);
    EXPECT_EQ(block->Calibration[1].Calib2, -5);
    EXPECT_EQ(block->Calibration[2].Calib1, 1);
    EXPECT_EQ(block->Calibration[2].Calib2, -32767);
    EXPECT_EQ(block->Calibration[3].Calib1, 32767);
    EXPECT_EQ(block->Calibration[3].Calib2, 500);
    // The hidden part from the defaults, and zeros after every text.
    EXPECT_EQ(block->Reserved, d.Reserved);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(block->RawValue[i], NoValue);
        EXPECT_EQ(block->MeasuredValue[i], NoValue);
        EXPECT_EQ(block->ReservedA[i], d.ReservedA[i]);
        EXPECT_EQ(block->ReservedB[i], d.ReservedB[i]);
    }
    const std::string_view afterHeader(block->Header1.Chars + 12, 8);
    EXPECT_EQ(afterHeader, std::string_view("\0\0\0\0\0\0\0\0", 8));
}

TEST(ConfigJsonTest, BytesAfterATextStayAtTheFieldsEndWhenTheTextIsEdited) {
    ConfigBlock block = DefaultBlock();
    block.UnitName[0].assign("abcdefghij");
    block.UnitName[0].assign("unit"); // leaves "efghij" after the text
    QJsonObject doc = QJsonDocument::fromJson(ConfigToJson(block)).object();
    QJsonObject channel = doc["channel1"].toObject();
    channel["units"] = "degrees";
    doc["channel1"] = channel;
    const std::optional<ConfigBlock> edited = ConfigFromJson(QJsonDocument(doc).toJson());
    ASSERT_TRUE(edited);
    EXPECT_EQ(std::string_view(edited->UnitName[0].Chars, 10), "degreeshij");
    EXPECT_EQ(edited->UnitName[0].Length, 7);
}

TEST(ConfigJsonTest, ImportFaultsNameThePathAndTheReason) {
    using Edit = std::function<void(QJsonObject&)>;
    auto set = [](QString path, QJsonValue value) -> Edit {
        return [path, value](QJsonObject& root) {
            std::function<void(QJsonObject&, QStringList)> go = [&](QJsonObject& o, QStringList keys) {
                const QString key = keys.takeFirst();
                if (keys.isEmpty()) {
                    if (value.isUndefined())
                        o.remove(key);
                    else
                        o[key] = value;
                    return;
                }
                QJsonObject inner = o[key].toObject();
                go(inner, keys);
                o[key] = inner;
            };
            go(root, path.split(u'.'));
        };
    };
    const QJsonValue gone(QJsonValue::Undefined);
    struct Case {
        Edit edit;
        const char* path;
        const char* reason;
    };
    const Case cases[] = {
        {set("channel2.tag", "Boiler Feed Pump No 1"), "channel2.tag", "is 21 bytes; the field holds 20"},
        {set("channel1.units", QString::fromUtf8("€€€€€€€€€€€")), "channel1.units",
         "is 11 bytes; the field holds 10"},
        {set("header2", QString::fromUtf8("Zone Ā")), "header2", "\"Ā\" (U+0100) cannot be stored"},
        {set("channel3.tag", QString::fromUtf8("Pump \U0001F600")), "channel3.tag",
         "(U+1F600) cannot be stored"},
        {set("channel4.units", QString(QChar(0x85))), "channel4.units", "U+0085 cannot be stored"},
        {set("channel1.point1", QJsonObject{{"raw", 1}, {"value", "3276.8"}}), "channel1.point1.value",
         "outside -3276.7..3276.7"},
        {set("channel1.point1", QJsonObject{{"raw", 1}, {"value", "12.34"}}), "channel1.point1.value",
         "more decimal places than the channel's 1"},
        {set("channel1.point2", QJsonObject{{"raw", 1}, {"value", "1e2"}}), "channel1.point2.value",
         "is not a number"},
        {set("channel1.point2", QJsonObject{{"raw", 1}, {"value", 12.5}}), "channel1.point2.value",
         "must be a number written as a string"},
        {set("channel2.point1", QJsonObject{{"raw", -32768}, {"value", "1"}}), "channel2.point1.raw",
         "from -32767 to 32767, or null"},
        {set("channel2.point1", QJsonObject{{"raw", 1.5}, {"value", "1"}}), "channel2.point1.raw",
         "whole number"},
        {set("channel2.point1", QJsonObject{{"raw", "100"}, {"value", "1"}}), "channel2.point1.raw",
         "whole number"},
        {set("channel2.point1", QJsonObject{{"raw", 1}}), "channel2.point1.value", "missing"},
        {set("channel3.decimals", 4), "channel3.decimals", "from 0 to 3"},
        {set("channel3.disabled", "yes"), "channel3.disabled", "must be true or false"},
        {set("channel1.flags", "0x42"), "channel1.flags",
         "\"0x42\" holds decimals 2 and disabled true, but the channel"},
        {set("channel1.flags", "42"), "channel1.flags", "two hex digits"},
        {set("channel1.flags", "0x+1"), "channel1.flags", "two hex digits"},
        {set("channel1.colour", "red"), "channel1.colour", "unknown key"},
        {set("hiden", QJsonObject{}), "hiden", "unknown key"},
        {set("channel3", gone), "channel3", "missing"},
        {set("channel1.point2", gone), "channel1.point2", "missing"},
        {set("channel1", "Flow"), "channel1", "must be an object"},
        {set("hidden.channel1.reservedA", 40000), "hidden.channel1.reservedA", "from -32768 to 32767"},
        {set("hidden.header1.after", "0G"), "hidden.header1.after", "bytes in hex"},
        {set("hidden.header1.after", "0"), "hidden.header1.after", "bytes in hex"},
        {set("hidden.header1.after", QString("00 ").repeated(21)), "hidden.header1.after",
         "holds 21 bytes; the field holds 20"},
        {set("hidden.header1", QJsonObject{{"length", 30}, {"after", "41 00 00 00 00 00 00 00 00"}}),
         "hidden.header1.length", "does not fit the text of 11 bytes"},
        {set("hidden.channel2.units.length", 3), "hidden.channel2.units.length",
         "does not fit the text of 4 bytes"},
        {set("hidden.channel2.units.length", 256), "hidden.channel2.units.length", "from 0 to 255"},
        {set("channel2.tag", QString("Pump\x1B[2J")), "channel2.tag", "U+001B is a control character"},
        {set("header1", QString(QChar(0))), "header1", "U+0000 is a control character"},
        {set("hidden.reserved", -1), "hidden.reserved", "from 0 to 4294967295"},
        {set("hidden.channel4.lastReading", QJsonObject{{"value", "0.5"}}),
         "hidden.channel4.lastReading.value", "more decimal places than the channel's 0"},
        {set("version", 2), "version", "must be 1"},
        {set("format", "other"), "format", "must be \"quellix-config\""},
    };
    const QJsonObject original = QJsonDocument::fromJson(ConfigToJson(DefaultBlock())).object();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        QJsonObject doc = original;
        c.edit(doc);
        ConfigJsonError error;
        EXPECT_FALSE(ConfigFromJson(QJsonDocument(doc).toJson(), &error));
        EXPECT_EQ(error.path.toStdString(), c.path);
        EXPECT_NE(error.reason.indexOf(QString::fromUtf8(c.reason)), -1) << error.reason.toStdString();
    }
}

TEST(ConfigJsonTest, DocumentFaultsNameTheirPlace) {
    struct Case {
        QByteArray json;
        const char* path;
        const char* reason;
    };
    QByteArray repeated = ConfigToJson(DefaultBlock());
    repeated.replace("\"tag\": \"Tag 2\",", "\"tag\": \"Tag 2\", \"t\\u0061g\": \"Pump\",");
    const Case cases[] = {
        {"[]", "", "the document must be a JSON object"},
        {"{\n  \"format\": \"quellix-config\",\n  \"version\": 1,,\n}", "", "line 3, column"},
        {"", "", "line 1, column 1"},
        {repeated, "channel2.tag", "appears twice"},
        {QByteArray(ConfigToJson(DefaultBlock()))
             .replace("\"Tag 2\"", "\"Tag\x1B"
                                   "2\""),
         "channel2.tag", "line 16, column 16: a control character (U+001b) as it is inside a string"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        ConfigJsonError error;
        EXPECT_FALSE(ConfigFromJson(c.json, &error));
        EXPECT_EQ(error.path.toStdString(), c.path);
        EXPECT_NE(error.reason.indexOf(QString::fromUtf8(c.reason)), -1) << error.reason.toStdString();
    }
}

// A block's texts may hold control characters: the text form shows each text up to the first of them
// and keeps the rest under "hidden", so that it still imports whole.
TEST(ConfigJsonTest, ControlCharactersInTextsStayOutOfTheVisibleTexts) {
    ConfigBlock block = DefaultBlock();
    block.TagName[1].assign(std::string_view("Pu\0mp", 5));
    block.Header2.Length = 25;
    block.Header2.Chars[3] = '\n';
    const QByteArray json = ConfigToJson(block);
    EXPECT_TRUE(json.contains("\"tag\": \"Pu\",") && json.contains("\"header2\": \"Add\","))
        << json.toStdString();
    expectRoundTrip(block);
}

// A key of a megabyte with an escape in it is shown escaped and cut.
TEST(ConfigJsonTest, EchoedInputIsEscapedAndCut) {
    const QByteArray json =
        ConfigToJson(DefaultBlock())
            .replace("\"tag\": \"Tag 1\"", "\"\\u001b" + QByteArray(1 << 20, 'k') + "\": 1");
    ConfigJsonError error;
    ASSERT_FALSE(ConfigFromJson(json, &error));
    EXPECT_EQ(error.path, "channel1.\"\\u001B" + QString(39, u'k') + "\"\u2026");
}

TEST(ConfigJsonTest, AByteOrderMarkIsAccepted) {
    EXPECT_TRUE(ConfigFromJson("\xEF\xBB\xBF" + ConfigToJson(DefaultBlock())));
}

} // namespace quellix
