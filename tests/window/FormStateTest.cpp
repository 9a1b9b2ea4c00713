#include "FormState.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

TEST(FormState, ShowCmdGivesTheWindowState) {
    const std::pair<int, TShowState> cases[] = {
        {1, TShowState::Normal},    {5, TShowState::Normal},    {9, TShowState::Normal},
        {2, TShowState::Minimized}, {6, TShowState::Minimized}, {7, TShowState::Minimized},
        {3, TShowState::Maximized}, {0, TShowState::Normal},    {4, TShowState::Normal},
        {8, TShowState::Normal},    {-1, TShowState::Normal},   {10, TShowState::Normal},
    };
    for (const auto& [cmd, state] : cases)
        EXPECT_EQ(ShowStateFromShowCmd(cmd), state) << "ShowCmd " << cmd;
}

TEST(FormState, WindowStateGivesShowCmd) {
    EXPECT_EQ(ShowCmdFromWindowState(Qt::WindowNoState), 1);
    EXPECT_EQ(ShowCmdFromWindowState(Qt::WindowMaximized), 3);
    EXPECT_EQ(ShowCmdFromWindowState(Qt::WindowMinimized), 2);
    EXPECT_EQ(ShowCmdFromWindowState(Qt::WindowMinimized | Qt::WindowMaximized), 2);
}

TEST(FormState, MarksAreTrueOrFalseInAnyCase) {
    const std::pair<const char*, std::optional<bool>> cases[] = {
        {"True", true},     {"TRUE", true},          {"tRuE", true},          {"False", false},
        {"fALSE", false},   {"1", std::nullopt},     {"0", std::nullopt},     {"yes", std::nullopt},
        {"", std::nullopt}, {"True ", std::nullopt}, {"Truex", std::nullopt},
    };
    for (const auto& [text, mark] : cases)
        EXPECT_EQ(ReadMark(QString::fromLatin1(text)), mark) << '"' << text << '"';
    EXPECT_EQ(MarkText(true), "True");
    EXPECT_EQ(MarkText(false), "False");
}

TEST(FormState, PortsSectionNamesComOneToEight) {
    const auto ini =
        TMemIniFile::FromText("[Ports]\ncom1=/dev/ttyUSB0\nCOM8=/dev/pts/7\nCOM9=/nine\nCOM0=/zero\n"
                              "COM2=\nCOM3=/first\nCOM3=/second\nLPT1=/lp\n[Other]\nCOM4=/x\n");
    const QMap<QString, QString> expected{
        {"COM1", "/dev/ttyUSB0"}, {"COM8", "/dev/pts/7"}, {"COM3", "/first"}};
    EXPECT_EQ(PortDevicePaths(ini), expected);
}

TEST(FormState, FileLivesInTheUsersConfigurationDirectory) {
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
