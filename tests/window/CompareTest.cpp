#include "WindowFixture.h"

#include "CompareDialog.h"
#include "ConfigJson.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QSpinBox>
#include <QTimer>

#include <cstring>

namespace quellix {

namespace {

// Defaults with channel 3 disabled, channel 1 at two decimals, a new tag and a moved calibration point.
ConfigBlock FileBlock() {
    ConfigBlock block = DefaultBlock();
    block.TagName[1].assign("Feed Pump");
    block.ChannelFlags[0] = 2;
    block.ChannelFlags[2] |= FlagDisabled;
    block.Calibration[2].Calib2 = 2500;
    block.Calibration[3].Measured1 = NoValue;
    return block;
}

QStringList Lines(const std::vector<CompareRow>& rows) {
    QStringList lines;
    for (const CompareRow& r : rows)
        lines << r.label + ": " + r.window + " | " + r.file;
    return lines;
}

} // namespace

TEST(CompareDialog, RowsInTheWindowsWordsAndTheFileValuesOfTheChosenRows) {
    const ConfigBlock file = FileBlock();
    ConfigBlock window = DefaultBlock();
    const QStringList all{"Channel 1 decimals: 1 | 2",
                          "Channel 1 point 1 required: 10.0 | 1.00",
                          "Channel 1 point 2 required: 100.0 | 10.00",
                          "Channel 2 tag: \"Tag 2\" | \"Feed Pump\"",
                          "Channel 3 disabled: enabled | disabled",
                          "Channel 3 point 2 required: 1.000 | 2.500",
                          "Channel 4 point 1 measured: 100 | ---"};
    EXPECT_EQ(Lines(CompareRows(window, file)), all);

    int used = 0;
    TCompareDialog dialog(window, file, "/tmp/plant.json", [&](const ConfigBlock& updated) {
        ++used;
        window = updated;
    });
    const struct {
        std::vector<int> chosen;
        QStringList left;
    } steps[] = {
        // The decimals alone: the stored numbers now read 1.00 and 10.00, as in the file.
        {{0}, {all[3], all[4], all[5], all[6]}},
        // Several at once, the disabled mark among them.
        {{1, 3}, {all[3], all[5]}},
        {{0, 1}, {}},
    };
    for (const auto& step : steps) {
        dialog.ChooseRows(step.chosen);
        dialog.UseFileValues();
        EXPECT_EQ(Lines(dialog.Rows()), step.left);
    }
    EXPECT_EQ(used, 3);
    EXPECT_EQ(std::memcmp(&window, &file, sizeof file), 0);

    // Nothing chosen: nothing taken.
    dialog.UseFileValues();
    EXPECT_EQ(used, 3);
}

class Compare : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Start();
    }
};

TEST_F(Compare, UseFileValuesShowsThemInTheWindow) {
    const QString path = start.file("plant.json");
    QFile json(path);
    ASSERT_TRUE(json.open(QIODevice::WriteOnly));
    json.write(ConfigToJson(FileBlock()));
    json.close();
    user->openAnswers << path;
    QStringList shown;
    QTimer::singleShot(0, form.get(), [&] {
        auto* dialog = qobject_cast<TCompareDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        for (const CompareRow& row : dialog->Rows())
            shown << row.label;
        dialog->ChooseRows({0, 3, 4});
        dialog->UseFileValues();
        dialog->reject();
    });
    Trigger("Compare1");
    ASSERT_EQ(user->openRequests.size(), 1);
    EXPECT_EQ(user->openRequests[0].filter, "Configuration files (*.qlx *.json)");
    EXPECT_EQ(shown.size(), 7);
    EXPECT_EQ(Text("Tag_2"), "Feed Pump");
    EXPECT_EQ(Find<QSpinBox>("Decimal_1")->value(), 2);
    EXPECT_TRUE(Checked("Disable_3"));
    EXPECT_EQ(form->Block.ChannelFlags[2] & FlagDisabled, FlagDisabled);
    EXPECT_EQ(form->Block.Calibration[2].Calib2, DefaultBlock().Calibration[2].Calib2) << "not chosen";
}

TEST_F(Compare, AFileThatCannotBeReadIsNamedInTheMessage) {
    const QString broken = start.file("broken.json");
    QFile json(broken);
    ASSERT_TRUE(json.open(QIODevice::WriteOnly));
    json.write("{\"header1\": 5}");
    json.close();
    const struct {
        QString path;
        QString reason;
    } cases[] = {
        {start.file("missing.qlx"), start.file("missing.qlx") + ": no such file"},
        {broken, broken + ": "},
    };
    for (const auto& c : cases) {
        user->messages.clear();
        user->informative.clear();
        user->openAnswers << c.path;
        Trigger("Compare1");
        ASSERT_EQ(user->messages.size(), 1) << c.path.toStdString();
        EXPECT_EQ(user->messages[0], "Cannot Compare");
        EXPECT_TRUE(user->informative[0].startsWith(c.reason)) << user->informative[0].toStdString();
    }
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

} // namespace quellix
