// What a desktop user expects around the designed window: mnemonics and shortcuts, a Tab order, Undo
// of whole-configuration changes, the status bar's long paths, Help and About.
#include "WindowFixture.h"

#include "BlockFile.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

namespace quellix {

namespace {

class Desktop : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Start();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    QString Note() const { return form->statusBar()->currentMessage(); }
    QString Shortcut(const QString& name) const {
        if (const auto* action = form->findChild<QAction*>(name))
            return action->shortcut().toString();
        return Find<QAbstractButton>(name)->shortcut().toString();
    }
};

QString Plain(QString text) {
    return text.remove(u'&').remove(u'\u2026');
}

// Every menu and item has a mnemonic of its own, the documented shortcuts are set, and the manual page
// names each item and shortcut.
TEST_F(Desktop, MenusHaveMnemonicsAndTheDocumentedShortcuts) {
    QFile page(QStringLiteral(QUELLIX_SOURCE_DIR "/man/quellix.1.scd"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString manual = QString::fromUtf8(page.readAll());
    QStringList titles;
    for (const QAction* menu : form->menuBar()->actions()) {
        titles << menu->text();
        QList<QChar> mnemonics;
        for (const QAction* item : menu->menu()->actions()) {
            if (item->isSeparator())
                continue;
            const qsizetype amp = item->text().indexOf(u'&');
            ASSERT_GE(amp, 0) << item->text().toStdString();
            EXPECT_FALSE(mnemonics.contains(item->text()[amp + 1].toLower())) << item->text().toStdString();
            mnemonics << item->text()[amp + 1].toLower();
            EXPECT_TRUE(manual.contains('*' + Plain(item->text()) + '*'))
                << Plain(item->text()).toStdString();
        }
    }
    EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&Data", "&Setup", "&Help"}));

    const QList<QPair<const char*, const char*>> shortcuts{
        {"Open1", "Ctrl+O"},        {"Save1", "Ctrl+S"},     {"SaveAs1", "Ctrl+Shift+S"},
        {"Print1", "Ctrl+P"},       {"Quit1", "Ctrl+Q"},     {"Undo1", "Ctrl+Z"},
        {"Redo1", "Ctrl+Shift+Z"},  {"HelpContents1", "F1"}, {"Trend1", "Ctrl+T"},
        {"LinkMonitor1", "Ctrl+L"}, {"FindUnit1", "Ctrl+F"}, {"Button13", "Ctrl+D"},
        {"Button14", "Ctrl+U"},     {"Button12", "F5"},      {"AutoSend", "Shift+F5"}};
    for (const auto& [name, keys] : shortcuts) {
        EXPECT_EQ(Shortcut(name), keys) << name;
        EXPECT_TRUE(manual.contains(QStringLiteral("*%1*").arg(keys)))
            << keys << " is not in the manual page";
    }
    EXPECT_FALSE(form->windowIcon().pixmap(32).isNull());
}

// Tab walks each panel as it reads: texts, decimals and disable mark, then point 1 and point 2; Enter
// on a text edits it.
TEST_F(Desktop, TabWalksEachChannelPanelInReadingOrderAndEnterEditsALabel) {
    const auto walk = [](QWidget* from, int steps) {
        from->setFocus(Qt::TabFocusReason);
        QStringList names;
        for (int i = 0; i < steps; ++i) {
            names << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        return names;
    };
    EXPECT_EQ(
        walk(Find<QWidget>("Header_1"), 14),
        (QStringList{"Header_1", "Header_2", "Tag_1", "Units_1", "Decimal_1", "Disable_1", "Measured1_1",
                     "Set_1_1", "Calib1_1", "Measured2_1", "Set_2_1", "Calib2_1", "Tag_2", "Units_2"}));
    // No port is open: the link's buttons are disabled and left out.
    EXPECT_EQ(walk(Find<QWidget>("Calib2_4"), 2), (QStringList{"Calib2_4", "AutoSend"}));

    auto* tag = Find<QWidget>("Tag_2");
    TForm2* dialog = form2.get();
    QTimer::singleShot(0, dialog, [dialog] {
        QTest::keyClicks(dialog->Edit2, "Boiler Flow");
        QTest::keyClick(dialog->Edit2, Qt::Key_Return);
    });
    QTest::keyClick(tag, Qt::Key_Return);
    EXPECT_EQ(Text("Tag_2"), "Boiler Flow");
    EXPECT_EQ(dialog->pos(), tag->mapToGlobal(QPoint(0, tag->height()))) << "opened under the label";
}

// Each change that replaces the whole configuration is undone and redone with the keys, and says so.
TEST_F(Desktop, UndoBringsBackWhatSetDefaultsOpenAndUseFileValuesReplaced) {
    form->Block.TagName[0].assign("Plant");
    form->BlockToWindow(form->Block);
    Trigger("SetDefaults1");
    EXPECT_EQ(Text("Tag_1"), "Tag 1");
    EXPECT_EQ(Note(), "Defaults set \u2014 Ctrl+Z to undo");
    EXPECT_EQ(Find<QAction>("Undo1")->text(), "&Undo Set Defaults");
    QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Text("Tag_1"), "Plant");
    EXPECT_EQ(Note(), "Undone: Set Defaults \u2014 Ctrl+Shift+Z to redo");
    QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Text("Tag_1"), "Tag 1");

    // Undoing an Open also forgets its file: Save asks for a name instead of writing over it.
    ConfigBlock opened = Defaults();
    opened.TagName[0].assign("From file");
    SaveBlockFile(opened, start.file("plant.qlx"), [](const QString&) {});
    user->openAnswers << start.file("plant.qlx");
    Trigger("Open1");
    EXPECT_EQ(Text("Tag_1"), "From file");
    EXPECT_EQ(Note(), "Opened plant.qlx \u2014 Ctrl+Z to undo");
    Trigger("Undo1");
    EXPECT_EQ(Text("Tag_1"), "Tag 1");
    Trigger("Save1");
    EXPECT_EQ(user->saveRequests.size(), 1);
    EXPECT_EQ(TempDir::read(start.file("plant.qlx")), Image(opened));
    EXPECT_TRUE(user->messages.isEmpty()) << user->messages.join('|').toStdString();
}

// A long device path gives way in its middle while a recording runs; the port's state and the
// recording's count always show, and the tooltip has the whole path.
TEST_F(Desktop, ALongDevicePathGivesWayToTheStateAndTheRecording) {
    const QString path = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0";
    form.reset();
    WriteFormState("[TForm1]\nCom_1_Checked=True\n[Ports]\nCOM1=" + path + "\n");
    Start();
    for (const QString& file :
         {QString("readings.csv"), QString("a-very-long-recording-name-2026-12-09.csv")}) {
        SCOPED_TRACE(file.toStdString());
        user->saveAnswers << start.file(file);
        Trigger("Record1");
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const auto* port = Find<TElidedLabel>("PortStatus");
        const auto* recording = Find<TElidedLabel>("RecordingStatus");
        const QString shown = port->ShownText();
        EXPECT_TRUE(shown.startsWith("COM1 /dev") && shown.contains(u'\u2026') &&
                    shown.endsWith("0 not open"))
            << shown.toStdString();
        EXPECT_LE(port->fontMetrics().horizontalAdvance(shown), port->contentsRect().width());
        EXPECT_TRUE(port->toolTip().contains(path));
        EXPECT_TRUE(recording->ShownText().startsWith("Recording ")) << recording->ShownText().toStdString();
        EXPECT_TRUE(recording->ShownText().endsWith(" \u2014 0 lines"))
            << recording->ShownText().toStdString();
        EXPECT_LE(recording->fontMetrics().horizontalAdvance(recording->ShownText()),
                  recording->contentsRect().width());
        if (file == "readings.csv") {
            EXPECT_EQ(recording->ShownText(), recording->text()) << "a short name takes the room it needs";
        }
        Trigger("StopRecording1");
    }
}

// F1 with nothing to show the manual says where it is; About names the files in use. Nothing starts.
TEST_F(Desktop, HelpSaysWhereTheManualIsAndAboutNamesTheFilesInUse) {
    user->viewerStarts = false;
    QTest::keyClick(form.get(), Qt::Key_F1);
    ASSERT_EQ(user->messages, QStringList{"Quellix Config Help"});
    EXPECT_TRUE(user->informative[0].contains("quellix(1)")) << user->informative[0].toStdString();

    Trigger("About1");
    ASSERT_EQ(user->abouts.size(), 1);
    for (const QString& part : {FormStatePath(), StartDir() + "/quellix.ini", QString("GPL-3.0-or-later")})
        EXPECT_TRUE(user->abouts[0].contains(part)) << part.toStdString() << "\n"
                                                    << user->abouts[0].toStdString();
}

} // namespace

} // namespace quellix
