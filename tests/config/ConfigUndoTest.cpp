// Undo and redo of whole-configuration changes, without a window.
#include "ConfigUndo.h"

#include <gtest/gtest.h>

namespace quellix {

namespace {

ConfigUndo::State Named(const std::string& tag, const char* file = "") {
    ConfigUndo::State state;
    SetBlockDefaults(state.block);
    state.block.TagName[0].assign(tag);
    state.fileName = QString::fromLatin1(file);
    return state;
}

TEST(ConfigUndo, BringsBackTheConfigurationAndItsFileAndKeepsTheReadings) {
    ConfigUndo undo;
    undo.Replaced("Set Defaults", Named("Original", "plant.qlx"));
    undo.Replaced("Open", Named("Tag 1", "plant.qlx"));
    ConfigUndo::State current = Named("Opened", "other.qlx");
    current.block.RawValue[2] = 517;

    EXPECT_EQ(undo.Undo(current), "Open");
    EXPECT_EQ(current.block.TagName[0].text(), "Tag 1");
    EXPECT_EQ(current.fileName, "plant.qlx") << "Save must not write the older configuration to other.qlx";
    EXPECT_EQ(current.block.RawValue[2], 517) << "readings are measurements, not configuration";
    EXPECT_EQ(undo.Undo(current), "Set Defaults");
    EXPECT_EQ(undo.Undo(current), "") << "nothing left";
    EXPECT_EQ(current.block.TagName[0].text(), "Original");

    EXPECT_EQ(undo.Redo(current), "Set Defaults");
    EXPECT_EQ(current.block.TagName[0].text(), "Tag 1");
    undo.Replaced("Use File Values", current);
    EXPECT_EQ(undo.Redo(current), "") << "a new change drops what was undone";

    for (std::size_t i = 0; i < ConfigUndo::Depth + 2; ++i)
        undo.Replaced("Open", Named(std::to_string(i)));
    int levels = 0;
    while (!undo.Undo(current).isEmpty())
        ++levels;
    EXPECT_EQ(levels, static_cast<int>(ConfigUndo::Depth)) << "the oldest levels are dropped";
    EXPECT_EQ(current.block.TagName[0].text(), "2");
}

} // namespace

} // namespace quellix
