#include "Inventory.h"

#include "BlockImages.h"
#include "CliPort.h"
#include "ConfigJson.h"
#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace quellix {

namespace {

// An inventory's surroundings: templates in both forms, a device file with a by-id-like link to it, and
// a form-state file whose COM1 is that device. Ports resolve as the command line's --port does.
class InventoryTest : public testing::Test {
protected:
    InventoryTest() {
        dir.write("plant.json", ConfigToJson(DefaultBlock()));
        QDir(dir.path()).mkdir("line2");
        ConfigBlock other = DefaultBlock();
        other.TagName[0].assign("Kessel");
        dir.write("line2/other.qlx", BlockImage(other));
        dir.write("bad.json", "{");
        tty = dir.write("tty1", {});
        QFile::link(tty, dir.file("by-id"));
        ini = dir.write("quellix.INI", "[Ports]\nCOM1=" + tty.toUtf8() + "\n");
    }

    std::optional<Inventory> check(const QByteArray& csv) {
        errors.clear();
        const PortResolver resolve = [this](const QString& port, QString& error) -> std::optional<QString> {
            const std::optional<PortName> name = ResolvePort(port, ini, error);
            return name ? std::optional(name->device) : std::nullopt;
        };
        return CheckInventory(
            QByteArray(csv).replace("TTY", tty.toUtf8()).replace("DIR", dir.path().toUtf8()), dir.path(),
            resolve, errors);
    }

    TempDir dir;
    QString tty;
    QString ini;
    std::vector<InventoryError> errors;
};

std::string Shown(const InventoryError& e) {
    return QStringLiteral("%1:%2 %3").arg(e.line).arg(e.column).arg(e.reason).toStdString();
}

} // namespace

TEST_F(InventoryTest, EveryErrorNamesItsLineAndColumn) {
    const QByteArray head = "name,port,config,tag1,units1\n";
    struct Case {
        QByteArray csv;
        // Each error as "line:column" and a part of its reason, in the order given.
        std::vector<std::pair<std::string, std::string>> expected;
    };
    const Case cases[] = {
        {"", {{"1:0", "no header line"}}},
        {head, {{"1:0", "no unit"}}},
        {"name,port,config,colour\na,/dev/x,plant.json,red\n", {{"1:4", "unknown column \"colour\""}}},
        {"name;port;config\n",
         {{"1:0", "no column \"name\""},
          {"1:0", "no column \"port\""},
          {"1:0", "no column \"config\""},
          {"1:1", "separated by commas"}}},
        {"Name,port,config,NAME\n", {{"1:4", "the column NAME again (also column 1)"}}},
        {"\xFF\xFEn\0a", {{"1:1", "UTF-16"}}},
        {head + "a,/dev/x\n", {{"2:3", "2 fields; the header line has 5"}}},
        {head + "a,/dev/x,plant.json,,,extra\n", {{"2:6", "6 fields"}}},
        {head + "\"a,/dev/x,plant.json,,\n", {{"2:1", "never closed"}}},
        {head + "a\"b,/dev/x,plant.json,,\n", {{"2:1", "a quote inside a field"}}},
        {head + "\"a\"b,/dev/x,plant.json,,\n", {{"2:1", "characters after the quote"}}},
        {head + "a,/dev/x,\xC3(,,\n", {{"2:3", "not UTF-8"}}},
        {head + "a,/dev/x,plant.json,,\nA,/dev/y,plant.json,,\n",
         {{"3:1", "\"A\" is also the name of line 2 (\"a\": names must differ in more than case)"}}},
        {head + "a,COM1,plant.json,,\nb,TTY,plant.json,,\n",
         {{"3:2", "is also the port of line 2 (\"a\"), there named \"COM1\": both lead to"}}},
        {head + "a,TTY,plant.json,,\nb,DIR/by-id,plant.json,,\n", {{"3:2", "is also the port of line 2"}}},
        {head + "a,/dev/x,plant.json,,\nb,/dev/./x,plant.json,,\n", {{"3:2", "is also the port of line 2"}}},
        {head + "a,COM9,plant.json,,\n", {{"2:2", "\"COM9\" is no port"}}},
        {head + "a/b,,missing.json,,\n",
         {{"2:1", "holds \"/\""}, {"2:2", "no port"}, {"2:3", "missing.json: no such file"}}},
        {head + "..,/dev/x,,,\n", {{"2:1", "cannot be a file name"}, {"2:3", "no configuration file"}}},
        {head + "a,/dev/x,bad.json,,\n", {{"2:3", "bad.json: "}}},
        {head + "a,/dev/x,plant.json,123456789012345678901,\n", {{"2:4", "is 21 bytes; the field holds 20"}}},
        {head + "a,/dev/x,plant.json,,12345678901\n", {{"2:5", "is 11 bytes; the field holds 10"}}},
        {head + "a,/dev/x,plant.json,\xCE\xA9,\n", {{"2:4", "Windows-1252 has no such character"}}},
        // A quoted line break moves the lines after it on.
        {head + "\"x\ny\",/dev/x,plant.json,,\nb,/dev/x,plant.json,,\n",
         {{"2:1", "holds a control character"}, {"4:2", "is also the port of line 2"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.csv.toStdString());
        EXPECT_FALSE(check(c.csv));
        ASSERT_EQ(errors.size(), c.expected.size()) << (errors.empty() ? "" : Shown(errors.front()));
        for (std::size_t i = 0; i < errors.size(); ++i) {
            EXPECT_EQ(Shown(errors[i]).substr(0, c.expected[i].first.size() + 1), c.expected[i].first + " ");
            EXPECT_NE(Shown(errors[i]).find(c.expected[i].second), std::string::npos) << Shown(errors[i]);
        }
    }
    check(head + "a,/dev/x,plant.json,,12345678901\n");
    EXPECT_EQ(errors.at(0).text(),
              "line 2, column 5 (units1): \"12345678901\" is 11 bytes; the field holds 10");
}

TEST_F(InventoryTest, GivesEachUnitItsTemplateWithItsOverrides) {
    // A spreadsheet's export: byte order mark, CR LF, columns in its own order and case, quoted cells,
    // an empty row of commas, and a blank line.
    const QByteArray csv = "\xEF\xBB\xBFPort,NAME,tag2,Config,header1,units3\r\n"
                           "COM1,press-1,\"Feed, \"\"Pump\"\"\",plant.json,,°C\r\n"
                           ",,,,,\r\n"
                           "\r\n"
                           "/dev/ttyUSB7, press-2 ,,line2/other.qlx,Line 2 – Süd,\r\n";
    const std::optional<Inventory> inventory = check(csv);
    ASSERT_TRUE(inventory) << (errors.empty() ? "" : Shown(errors.front()));
    ASSERT_EQ(inventory->units.size(), 2u);
    const InventoryUnit& a = inventory->units[0];
    const InventoryUnit& b = inventory->units[1];
    EXPECT_EQ(a.line, 2);
    EXPECT_EQ(a.name, "press-1");
    EXPECT_EQ(a.port, "COM1");
    EXPECT_EQ(a.device, tty);
    EXPECT_EQ(a.overrides, QStringList({"channel2.tag", "channel3.units"}));
    ConfigBlock expected = DefaultBlock();
    expected.TagName[1].assign("Feed, \"Pump\"");
    expected.UnitName[2].assign("\xB0"
                                "C");
    EXPECT_EQ(BlockImage(a.desired), BlockImage(expected));

    EXPECT_EQ(b.line, 5);
    EXPECT_EQ(b.name, "press-2");
    EXPECT_EQ(b.device, "/dev/ttyUSB7");
    EXPECT_EQ(b.overrides, QStringList({"header1"}));
    EXPECT_EQ(b.desired.TagName[0].text(), "Kessel");
    EXPECT_EQ(b.desired.Header1.text(), "Line 2 \x96 S\xFC"
                                        "d");

    errors.clear();
    EXPECT_FALSE(ReadInventory(
        dir.file("none.csv"), [](const QString& p, QString&) { return p; }, errors));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text(), "no such file");
}

TEST_F(InventoryTest, OnlyTakesNamedUnitsInTheInventorysOrder) {
    const std::optional<Inventory> inventory =
        check("name,port,config\na,/dev/a,plant.json\nb,/dev/b,plant.json\nc,/dev/c,plant.json\n");
    ASSERT_TRUE(inventory);
    QString error;
    const auto selected = SelectUnits(inventory->units, " C,a,,a", error);
    ASSERT_TRUE(selected);
    ASSERT_EQ(selected->size(), 2u);
    EXPECT_EQ((*selected)[0].name, "a");
    EXPECT_EQ((*selected)[1].name, "c");
    EXPECT_FALSE(SelectUnits(inventory->units, "a,x,y", error));
    EXPECT_EQ(error, "no unit of the inventory is named \"x\", \"y\"");
    EXPECT_FALSE(SelectUnits(inventory->units, " , ", error));
    EXPECT_EQ(error, "--only names no unit");
}

} // namespace quellix
