#include "FormState.h"
#include "MemIniFile.h"
#include "TempDir.h"

#include <QDir>
#include <gtest/gtest.h>

namespace quellix {

namespace {

struct ReadCase {
    const char* text;
    const char* section;
    const char* key;
    std::optional<QString> expected;
};

TEST(MemIniFile, FindsValuesAsProfileFilesDo) {
    const ReadCase cases[] = {
        ReadCase{"[TForm1]\nShowCmd=3\n", "TForm1", "ShowCmd", QString("3")},
        ReadCase{"[tform1]\nshowcmd=3\n", "TForm1", "ShowCmd", QString("3")},
        ReadCase{"  [ TForm1 ]  \n  ShowCmd  =  3  \n", "TForm1", "ShowCmd", QString("3")},
        ReadCase{"[Ports]\nCOM1=\"/dev/tty USB0\"\n", "Ports", "COM1", QString("/dev/tty USB0")},
        ReadCase{"[Ports]\nCOM1=\n", "Ports", "COM1", QString("")},
        ReadCase{"[A]\nk=1\n[B]\nk=2\n", "B", "k", QString("2")},
        ReadCase{"[A]\nk=1\n[B]\nk=2\n", "C", "k", std::nullopt},
        ReadCase{"[A]\n;k=1\n#k=2\n", "A", "k", std::nullopt},
        ReadCase{"[A]\nk=first\nk=second\n", "A", "k", QString("first")},
        ReadCase{"[A]\r\nk=v\r\n", "A", "k", QString("v")},
        ReadCase{"k=outside\n[A]\n", "A", "k", std::nullopt},
        ReadCase{"[A]\nurl=a=b\n", "A", "url", QString("a=b")},
        ReadCase{"\xEF\xBB\xBF[TForm1]\nShowCmd=3\n", "TForm1", "ShowCmd", QString("3")}};
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.text);
        const auto ini = TMemIniFile::FromText(QString::fromUtf8(c.text));
        EXPECT_EQ(ini.ReadString(QString::fromLatin1(c.section), QString::fromLatin1(c.key)), c.expected);
    }
}

TEST(MemIniFile, ReadsASectionInFileOrder) {
    const auto ini = TMemIniFile::FromText("[Ports]\nCOM3=/c\n; note\nCOM1=/a\n\n[Other]\nCOM2=/b\n");
    const QList<QPair<QString, QString>> expected{{"COM3", "/c"}, {"COM1", "/a"}};
    EXPECT_EQ(ini.ReadSection(u"Ports"), expected);
}

TEST(MemIniFile, NewKeysKeepTheirWritingOrderAndOtherLinesStay) {
    auto ini =
        TMemIniFile::FromText("; kept\n[Ports]\nCOM1=/dev/ttyUSB0\n\n[TForm1]\nZeta=old\n\n[Extra]\nx=1\n");
    ini.WriteString("TForm1", "Zeta", "new");
    ini.WriteString("TForm1", "Beta", "2");
    ini.WriteString("TForm1", "Alpha", "1");
    ini.WriteString("Fresh", "k", "v");
    EXPECT_EQ(ini.Text(), "; kept\n[Ports]\nCOM1=/dev/ttyUSB0\n\n[TForm1]\nZeta=new\nBeta=2\nAlpha=1\n\n"
                          "[Extra]\nx=1\n\n[Fresh]\nk=v\n");
}

// Lines written by hand or by other tools in another encoding, and a last line without a line end:
// only the lines of the keys written change.
TEST(MemIniFile, KeepsEveryOtherLineByteForByte) {
    auto ini = TMemIniFile::FromBytes("; caf\xE9 notes\n"
                                      "[Ports]\n"
                                      "COM1=/dev/serial/by-id/usb-\xC4\xFF-port0\n"
                                      "\n"
                                      "[TForm1]\n"
                                      "ShowCmd=3\n"
                                      "Note=\xB0"
                                      "C  \t\n"
                                      "Visible=1");
    ini.WriteString("TForm1", "Visible", "0");
    ini.WriteString("TForm1", "Com_1_Checked", "False");
    ini.WriteString("Ports", "COM2", "/dev/ttyUSB1");
    EXPECT_EQ(ini.Bytes(), QByteArray("; caf\xE9 notes\n"
                                      "[Ports]\n"
                                      "COM1=/dev/serial/by-id/usb-\xC4\xFF-port0\n"
                                      "COM2=/dev/ttyUSB1\n"
                                      "\n"
                                      "[TForm1]\n"
                                      "ShowCmd=3\n"
                                      "Note=\xB0"
                                      "C  \t\n"
                                      "Visible=0\n"
                                      "Com_1_Checked=False\n"));
}

TEST(MemIniFile, KeepsWindowsLineEnds) {
    auto ini = TMemIniFile::FromText("[A]\r\nk=1\r\n");
    ini.WriteString("A", "j", "2");
    EXPECT_EQ(ini.Text(), "[A]\r\nk=1\r\nj=2\r\n");
}

TEST(MemIniFile, UpdateFileCreatesTheDirectoryAndReadsBack) {
    TempDir dir;
    const QString path = dir.file("sub/dir/quellix.INI");
    TMemIniFile ini(path);
    EXPECT_EQ(ini.Text(), "");
    ini.WriteString("S", "k", "v");
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_EQ(TempDir::read(path), "[S]\nk=v\n");
    EXPECT_EQ(TMemIniFile(path).ReadString(u"S", u"k"), QString("v"));
}

TEST(MemIniFile, UpdateFileFailsWhereNoDirectoryCanBeMade) {
    TempDir dir;
    dir.write("plain", "not a directory");
    TMemIniFile ini(dir.file("plain/quellix.INI"));
    ini.WriteString("S", "k", "v");
    EXPECT_FALSE(ini.UpdateFile());
}

TEST(FormStateFile, PortsSectionNamesComOneToEight) {
    const auto ini =
        TMemIniFile::FromText("[Ports]\ncom1=/dev/ttyUSB0\nCOM8=/dev/pts/7\nCOM9=/nine\nCOM0=/zero\n"
                              "COM2=\nCOM3=/first\nCOM3=/second\nLPT1=/lp\n[Other]\nCOM4=/x\n");
    const QMap<QString, QString> expected{
        {"COM1", "/dev/ttyUSB0"}, {"COM8", "/dev/pts/7"}, {"COM3", "/first"}};
    EXPECT_EQ(PortDevicePaths(ini), expected);
}

TEST(FormStateFile, LivesInTheUsersConfigurationDirectory) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/somewhere/config");
    EXPECT_EQ(FormStateFilePath(), "/somewhere/config/quellix.INI");
    qputenv("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(FormStateFilePath(), QDir::homePath() + "/.config/quellix.INI");
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(FormStateFilePath(), QDir::homePath() + "/.config/quellix.INI");
    if (!saved.isNull())
        qputenv("XDG_CONFIG_HOME", saved);
}

} // namespace

} // namespace quellix
