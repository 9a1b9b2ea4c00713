// What a desktop user expects around the designed window: mnemonics and shortcuts, a Tab order, Undo
// of whole-configuration changes, the status bar's long paths, Help and About.
#include "WindowFixture.h"

#include "BlockFile.h"

#include <QAction>
#include <QFile>
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
};

// Each menu item has a mnemonic of its own; the shortcuts are set; the manual page names each.
TEST_F(Desktop, MenusHaveMnemonicsAndTheDocumentedShortcuts) {
    QFile page(QStringLiteral(QUELLIX_SOURCE_DIR "/man/quellix.1.scd"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString manual = QString::fromUtf8(page.readAll());
    QStringList titles;
    for (const QAction* menu : form->menuBar()->actions()) {
        titles << menu->text();
        QString mnemonics;
        for (const QAction* item : menu->menu()->actions()) {
            const QString text = item->text();
            if (item->isSeparator())
                continue;
            const QChar mnemonic = text.mid(text.indexOf(u'&') + 1, 1).toLower().front();
            EXPECT_TRUE(text.contains(u'&') && !mnemonics.contains(mnemonic)) << text.toStdString();
            mnemonics += mnemonic;
            EXPECT_TRUE(manual.contains('*' + QString(text).remove(u'&').remove(u'\u2026') + '*'))
                << text.toStdString() << " is not in the manual page";
        }
    }
    EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&Data", "&Setup", "&Help"}));
    const QList<QPair<const char*, const char*>> shortcuts{
        {"Open1", "Ctrl+O"},     {"Save1", "Ctrl+S"},     {"SaveAs1", "Ctrl+Shift+S"},
        {"Print1", "Ctrl+P"},    {"Quit1", "Ctrl+Q"},     {"Undo1", "Ctrl+Z"},
        {"HelpContents1", "F1"}, {"Trend1", "Ctrl+T"},    {"LinkMonitor1", "Ctrl+L"},
        {"FindUnit1", "Ctrl+F"}, {"Button13", "Ctrl+D"},  {"Button14", "Ctrl+U"},
        {"Button12", "F5"},      {"AutoSend", "Shift+F5"}};
    for (const auto& [name, keys] : shortcuts) {
        const auto* action = form->findChild<QAction*>(name);
        EXPECT_EQ((action ? action->shortcut() : Find<QAbstractButton>(name)->shortcut()).toString(), keys);
        EXPECT_TRUE(manual.contains(QStringLiteral("*%1*").arg(keys)))
            << keys << " is not in the manual page";
    }
    EXPECT_FALSE(form->windowIcon().pixmap(32).isNull());
}

// Tab walks each panel as it reads; Enter on a text edits it in a dialog under it.
TEST_F(Desktop, TabWalksEachChannelPanelInReadingOrderAndEnterEditsALabel) {
    Find<QWidget>("Header_2")->setFocus(Qt::TabFocusReason);
    QStringList walk;
    for (int i = 0; i < 12; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walk << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(walk, (QStringList{"Tag_1", "Units_1", "Decimal_1", "Disable_1", "Measured1_1", "Set_1_1",
                                 "Calib1_1", "Measured2_1", "Set_2_1", "Calib2_1", "Tag_2", "Units_2"}));

    TForm2* dialog = form2.get();
    QTimer::singleShot(0, dialog, [dialog] {
        QTest::keyClicks(dialog->Edit2, "Boiler Flow");
        QTest::keyClick(dialog->Edit2, Qt::Key_Return);
    });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(Text("Units_2"), "Boiler Flo") << "cut to the units' 10 characters";
    EXPECT_EQ(dialog->pos(),
              Find<QWidget>("Units_2")->mapToGlobal(QPoint(0, Find<QWidget>("Units_2")->height())));
}

// Each change that replaces the whole configuration is undone and redone with the keys, and says so.
TEST_F(Desktop, UndoBringsBackWhatSetDefaultsAndOpenReplaced) {
    form->Block.TagName[0].assign("Plant");
    form->BlockToWindow(form->Block);
    Trigger("SetDefaults1");
    EXPECT_EQ(Note(), "Defaults set \u2014 Ctrl+Z to undo");
    EXPECT_EQ(Find<QAction>("Undo1")->text(), "&Undo Set Defaults");
    QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Text("Tag_1"), "Plant");
    EXPECT_EQ(Note(), "Undone: Set Defaults \u2014 Ctrl+Shift+Z to redo");
    QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Text("Tag_1"), "Tag 1");

    // Undoing an Open forgets its file too: Save asks for a name instead of writing over it.
    ConfigBlock opened = Defaults();
    opened.TagName[0].assign("From file");
    SaveBlockFile(opened, start.file("plant.qlx"), [](const QString&) {});
    user->openAnswers << start.file("plant.qlx");
    Trigger("Open1");
    EXPECT_EQ(Note(), "Opened plant.qlx \u2014 Ctrl+Z to undo");
    Trigger("Undo1");
    EXPECT_EQ(Text("Tag_1"), "Tag 1");
    Trigger("Save1");
    EXPECT_EQ(user->saveRequests.size(), 1);
    EXPECT_EQ(TempDir::read(start.file("plant.qlx")), Image(opened));
}

// A long device path gives way in its middle while a recording with a long name runs: the port's
// state and the recording's count show, the tooltip has the whole path.
TEST_F(Desktop, ALongDevicePathGivesWayToTheStateAndTheRecording) {
    const QString path = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0";
    form.reset();
    WriteFormState("[TForm1]\nCom_1_Checked=True\n[Ports]\nCOM1=" + path + "\n");
    Start();
    user->saveAnswers << start.file("a-very-long-recording-name-2026-12-09.csv");
    Trigger("Record1");
    QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const auto* port = Find<TElidedLabel>("PortStatus");
    const auto* recording = Find<TElidedLabel>("RecordingStatus");
    for (const auto* label : {port, recording})
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->ShownText()), label->contentsRect().width());
    const QString shown = port->ShownText();
    EXPECT_TRUE(shown.startsWith("COM1 /dev") && shown.contains(u'\u2026') && shown.endsWith("0 not open"))
        << shown.toStdString();
    EXPECT_TRUE(port->toolTip().contains(path));
    EXPECT_TRUE(recording->ShownText().startsWith("Recording a-very") &&
                recording->ShownText().endsWith("09.csv \u2014 0 lines"))
        << recording->ShownText().toStdString();
}

// F1 with nothing to show the manual says where it is; About names the files in use. Nothing starts.
TEST_F(Desktop, HelpSaysWhereTheManualIsAndAboutNamesTheFilesInUse) {
    user->viewerStarts = false;
    QTest::keyClick(form.get(), Qt::Key_F1);
    ASSERT_EQ(user->messages, QStringList{"Quellix Config Help"});
    EXPECT_TRUE(user->informative[0].contains("quellix(1)")) << user->informative[0].toStdString();
    Trigger("About1");
    ASSERT_EQ(user->abouts.size(), 1);
    for (const QString& part : {FormStatePath(), StartDir() + "/quellix.ini", QString("Qt ") + qVersion()})
        EXPECT_TRUE(user->abouts[0].contains(part)) << part.toStdString();
}

} // namespace

} // namespace quellix
