#include "WindowFixture.h"

#include "Charset.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QSpinBox>
#include <QTimer>

namespace quellix {

namespace {

class Files : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Start();
    }
    ConfigBlock Plant() const {
        ConfigBlock block = Defaults();
        block.Reserved = 0x04030201;
        TextToShortString(block.Header1, "Plant 7");
        TextToShortString(block.TagName[0], "Boiler");
        TextToShortString(block.UnitName[0], "bar");
        block.ChannelFlags[0] = 0x02;
        block.ChannelFlags[3] = 0x41;
        block.Calibration[0] = {10, 250, 900, 1600};
        block.RawValue[1] = 321;
        block.MeasuredValue[0] = -5;
        return block;
    }
    static void Answer(QStringList& answers, const QString& answer) { answers << answer; }
};

TEST_F(Files, DialogsAskForQlxFilesFromTheCurrentDirectoryOfTheMoment) {
    TempDir elsewhere;
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    Trigger("Open1");
    Trigger("SaveAs1");
    ASSERT_EQ(user->openRequests.size(), 1);
    ASSERT_EQ(user->saveRequests.size(), 1);
    for (const FileDialogRequest& request : {user->openRequests[0], user->saveRequests[0]}) {
        EXPECT_EQ(request.filter, "qlx files (*.qlx)");
        EXPECT_EQ(request.defaultSuffix, "qlx");
        EXPECT_EQ(request.initialDir, QFileInfo(elsewhere.path()).canonicalFilePath());
    }
    EXPECT_TRUE(user->messages.isEmpty());
    ASSERT_TRUE(QDir::setCurrent(start.path()));
}

TEST_F(Files, OpenShowsTheFileAndSaveThenWritesItWithoutAsking) {
    const QString path = start.write("plant.qlx", Image(Plant()));
    Answer(user->openAnswers, path);
    Trigger("Open1");
    EXPECT_TRUE(user->messages.isEmpty());
    EXPECT_EQ(Image(form->Block), Image(Plant()));
    EXPECT_EQ(Text("Header_1"), "Plant 7");
    EXPECT_EQ(Text("Tag_1"), "Boiler");
    EXPECT_EQ(Text("Units_1"), "bar");
    EXPECT_EQ(Find<QSpinBox>("Decimal_1")->value(), 2);
    EXPECT_EQ(Text("Calib1_1"), "     2.50");
    EXPECT_EQ(Text("Measured2_1"), "      900");
    EXPECT_EQ(Text("MeasuredValue_1"), "    -0.05");
    EXPECT_EQ(Text("Raw_2"), "      321");
    EXPECT_TRUE(Checked("Disable_4"));

    TypeIntoLabel("Tag_2", "Pump");
    Trigger("Save1");
    EXPECT_TRUE(user->saveRequests.isEmpty());
    ConfigBlock expected = Plant();
    TextToShortString(expected.TagName[1], "Pump");
    EXPECT_EQ(TempDir::read(path), Image(form->Block));
    EXPECT_EQ(ShortStringToText(form->Block.TagName[1]), "Pump");
}

TEST_F(Files, OpenOfATypedMissingNameReportsTwiceAndKeepsTheName) {
    const QString path = start.file("new.qlx");
    Answer(user->openAnswers, path);
    Trigger("Open1");
    EXPECT_EQ(user->messages, (QStringList{"ERROR " + path + " not found", "Error Reading: " + path}));
    EXPECT_EQ(Image(form->Block), Image(Defaults()));
    Trigger("Save1");
    EXPECT_TRUE(user->saveRequests.isEmpty());
    EXPECT_EQ(TempDir::read(path), Image(Defaults()));
}

TEST_F(Files, OpenOfAShortFileReportsTwiceAndChangesNothing) {
    for (const int size : {0, 100, 241}) {
        SCOPED_TRACE(size);
        user->messages.clear();
        const QString path = start.write(QString("short%1.qlx").arg(size), QByteArray(size, '\x55'));
        const QByteArray before = Image(form->Block);
        Answer(user->openAnswers, path);
        Trigger("Open1");
        EXPECT_EQ(user->messages, (QStringList{"ERROR " + path, "Error Reading: " + path}));
        EXPECT_EQ(Image(form->Block), before);
        EXPECT_EQ(Text("Header_1"), "Header Data");
    }
}

TEST_F(Files, OpenTakesTheFirst242BytesOfALongerFile) {
    const QString path = start.write("long.qlx", Image(Plant()) + QByteArray(58, '\x7f'));
    Answer(user->openAnswers, path);
    Trigger("Open1");
    EXPECT_TRUE(user->messages.isEmpty());
    EXPECT_EQ(Image(form->Block), Image(Plant()));
}

TEST_F(Files, CancelledDialogsChangeNothing) {
    Trigger("Open1");
    Trigger("Save1");
    Trigger("Save1");
    EXPECT_EQ(user->openRequests.size(), 1);
    EXPECT_EQ(user->saveRequests.size(), 2) << "Save keeps asking while there is no file name";
    EXPECT_TRUE(user->messages.isEmpty());
    EXPECT_EQ(QDir(start.path()).entryList(QDir::Files), QStringList{});
}

TEST_F(Files, SaveAsReplacesAnExistingFileWithoutAQuestion) {
    const QString path = start.write("old.qlx", QByteArray(300, '\x11'));
    Answer(user->saveAnswers, path);
    Trigger("SaveAs1");
    EXPECT_TRUE(user->messages.isEmpty());
    EXPECT_EQ(TempDir::read(path), Image(Defaults()));
}

TEST_F(Files, FailedSaveAsReportsAndKeepsTheNameForTheNextSave) {
    const QString path = start.file("missing-dir/plant.qlx");
    Answer(user->saveAnswers, path);
    Trigger("SaveAs1");
    EXPECT_EQ(user->messages, QStringList{"Cannot Save " + path});
    Trigger("Save1");
    EXPECT_EQ(user->saveRequests.size(), 1);
    EXPECT_EQ(user->messages, (QStringList{"Cannot Save " + path, "Cannot Save " + path}));
    ASSERT_TRUE(QDir(start.path()).mkdir("missing-dir"));
    Trigger("Save1");
    EXPECT_EQ(TempDir::read(path), Image(Defaults()));
}

TEST_F(Files, DialogsStartInTheDirectoryOfTheFileName) {
    const struct {
        QString chosen;
        QString nextDir;
    } cases[] = {
        {start.file("sub/plant.qlx"), start.file("sub")},
        {"/plant-does-not-exist.qlx", "/"},
        {start.file("a.b/c"), start.file("a.b")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen.toStdString());
        Answer(user->openAnswers, c.chosen);
        Trigger("Open1");
        Trigger("SaveAs1");
        EXPECT_EQ(user->saveRequests.last().initialDir, c.nextDir);
        Trigger("Open1");
        EXPECT_EQ(user->openRequests.last().initialDir, c.nextDir);
    }
}

TEST_F(Files, SetDefaultsKeepsTheFileName) {
    const QString path = start.write("plant.qlx", Image(Plant()));
    Answer(user->openAnswers, path);
    Trigger("Open1");
    Trigger("SetDefaults1");
    Trigger("Save1");
    EXPECT_TRUE(user->saveRequests.isEmpty());
    ConfigBlock expected = Plant();
    SetBlockDefaults(expected);
    EXPECT_EQ(TempDir::read(path), Image(expected));
}

// Qt's own dialogs, as the user gets them.
TEST(QtFileDialogs, ShowTheFilterByItsNameOnly) {
    TempDir dir;
    const auto dialogs = MakeQtUserDialogs();
    const FileDialogRequest request{dir.path(), "qlx files (*.qlx)", "qlx"};
    for (const bool save : {false, true}) {
        SCOPED_TRACE(save ? "save" : "open");
        QString shown = "<no dialog>";
        QTimer::singleShot(0, [&shown] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            const auto* filters = dialog->findChild<QComboBox*>("fileTypeCombo");
            shown = filters ? filters->currentText() : "<no filter box>";
            dialog->reject();
        });
        const auto chosen =
            save ? dialogs->SaveFileName(nullptr, request) : dialogs->OpenFileName(nullptr, request);
        EXPECT_FALSE(chosen.has_value());
        EXPECT_EQ(shown.toStdString(), "qlx files");
    }
}

} // namespace

} // namespace quellix
