// Undo and redo of whole-configuration changes, without a window.
#include "ConfigUndo.h"

#include <gtest/gtest.h>

namespace quellix {

namespace {

ConfigUndo::State Named(const char* tag, const char* file) {
    ConfigUndo::State state;
    SetBlockDefaults(state.block);
    state.block.TagName[0].assign(tag);
    state.fileName = QString::fromLatin1(file);
    return state;
}

std::string Tag(const ConfigUndo::State& state) {
    return std::string(state.block.TagName[0].text());
}

TEST(ConfigUndo, BringsBackTheConfigurationAndItsFileAndKeepsTheReadings) {
    ConfigUndo undo;
    ConfigUndo::State current = Named("Original", "plant.qlx");
    undo.Replaced("Set Defaults", current);
    current = Named("Tag 1", "plant.qlx");
    undo.Replaced("Open", current);
    current = Named("Opened", "other.qlx");
    current.block.RawValue[2] = 517;
    current.block.MeasuredValue[2] = 51;

    EXPECT_EQ(undo.UndoCommand(), "Open");
    EXPECT_EQ(undo.Undo(current), "Open");
    EXPECT_EQ(Tag(current), "Tag 1");
    EXPECT_EQ(current.fileName, "plant.qlx") << "Save must not write the older configuration to other.qlx";
    EXPECT_EQ(current.block.RawValue[2], 517) << "readings are measurements, not configuration";
    EXPECT_EQ(current.block.MeasuredValue[2], 51);

    EXPECT_EQ(undo.Undo(current), "Set Defaults");
    EXPECT_EQ(Tag(current), "Original");
    EXPECT_EQ(undo.Undo(current), "") << "nothing left";
    EXPECT_EQ(Tag(current), "Original");

    EXPECT_EQ(undo.Redo(current), "Set Defaults");
    EXPECT_EQ(Tag(current), "Tag 1");
    EXPECT_EQ(undo.RedoCommand(), "Open");
    // A new change drops what was undone.
    undo.Replaced("Use File Values", current);
    EXPECT_EQ(undo.RedoCommand(), "");
    EXPECT_EQ(undo.Redo(current), "");
}

TEST(ConfigUndo, KeepsTheNewestLevelsOnly) {
    ConfigUndo undo;
    ConfigUndo::State current = Named("0", "");
    for (int i = 1; i <= static_cast<int>(ConfigUndo::Depth) + 2; ++i) {
        undo.Replaced("Open", current);
        current = Named(std::to_string(i).c_str(), "");
    }
    int levels = 0;
    while (!undo.Undo(current).isEmpty())
        ++levels;
    EXPECT_EQ(levels, static_cast<int>(ConfigUndo::Depth));
    EXPECT_EQ(Tag(current), "2");
}

} // namespace

} // namespace quellix
