#include "WindowFixture.h"

#include "Charset.h"
#include "LinkMonitorWindow.h"
#include "PdfText.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QMenu>
#include <QTimer>

namespace quellix {

namespace {

class ToolsMenu : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Start();
    }
    QStringList Items(const QString& menu) const {
        QStringList items;
        for (const QAction* action : Find<QMenu>(menu)->actions())
            items << (action->isSeparator() ? QStringLiteral("-") : QString(action->text()).remove(u'&'));
        return items;
    }
};

} // namespace

TEST_F(ToolsMenu, CompareAndSheetItemsFollowTheDesignedFileItems) {
    EXPECT_EQ(Items("File1"), (QStringList{"Open", "Close", "Save", "Save As", "-", "Compare\u2026",
                                           "Print\u2026", "Export PDF\u2026", "-", "Quit"}));
}

// It follows the link only while it is open: auto reads sent with it closed leave no entry.
TEST_F(ToolsMenu, LinkMonitorIsOneWindowThatListensWhileOpen) {
    Trigger("LinkMonitor1");
    auto* monitor = form->findChild<TLinkMonitorWindow*>("LinkMonitor");
    ASSERT_NE(monitor, nullptr);
    EXPECT_TRUE(monitor->isVisible());
    EXPECT_TRUE(monitor->isWindow());
    EXPECT_FALSE(monitor->isModal());
    EXPECT_EQ(monitor->windowTitle(), "Link Monitor");
    // No port is open here; the auto read's request reaches the link all the same. The timer itself
    // is stopped, so that only the test's ticks send.
    Find<QTimer>("Timer2")->stop();
    Find<QCheckBox>("AutoSend")->setChecked(true);
    const auto autoRead = [this] { QMetaObject::invokeMethod(Find<QTimer>("Timer2"), "timeout"); };
    const auto entries = [monitor] {
        monitor->Model().Flush();
        return monitor->Model().EntryCount();
    };
    autoRead();
    EXPECT_EQ(entries(), 1);
    monitor->close();
    EXPECT_FALSE(monitor->isVisible());
    autoRead();
    EXPECT_EQ(entries(), 1);
    Trigger("LinkMonitor1");
    EXPECT_TRUE(monitor->isVisible());
    autoRead();
    EXPECT_EQ(entries(), 2) << "kept its entries while closed";
    EXPECT_EQ(form->findChildren<QWidget*>("LinkMonitor").size(), 1);
}

TEST_F(ToolsMenu, ExportPdfWritesTheSheetOfTheWindowsConfiguration) {
    TextToShortString(form->Block.TagName[1], "Return Temp");
    TextToShortString(form->Block.UnitName[1], "\u00B0C");
    form->Block.Calibration[1] = {0, 150, 1023, 950};
    form->BlockToWindow(form->Block);
    const QString path = start.file("sheet.pdf");
    user->saveAnswers << path;
    Trigger("ExportPdf1");
    ASSERT_EQ(user->saveRequests.size(), 1);
    EXPECT_EQ(user->saveRequests[0].filter, "PDF files (*.pdf)");
    EXPECT_EQ(user->saveRequests[0].defaultSuffix, "pdf");
    EXPECT_TRUE(user->messages.isEmpty()) << user->messages.join('|').toStdString();
    const QString text = PdfText(path);
    for (const char* field : {"Return Temp", "\u00B0C", "1.50", "9.50", "Header Data", "No port selected",
                              "not read from the unit", "not saved to a file"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(field))) << field << "\n" << text.toStdString();

    const QString unwritable = start.file("missing/sheet.pdf");
    user->saveAnswers << unwritable;
    Trigger("ExportPdf1");
    ASSERT_EQ(user->messages.size(), 1);
    EXPECT_EQ(user->messages[0], "Cannot Save " + unwritable);
    EXPECT_FALSE(QFile::exists(unwritable));
}

// Measured before: new readings went on under the old columns' names of another recording.
TEST_F(ToolsMenu, RecordOffersANewFileForARecordingOfOtherColumns) {
    const QByteArray other =
        "Time,Pump raw,Pump (bar),b raw,b,c raw,c,d raw,d\n2026-01-01T00:00:00.000+00:00,1,2,,,,,,\n";
    const QString held = start.write("old.csv", other);
    const QString fresh = start.file("new.csv");
    user->saveAnswers << held << fresh;
    Trigger("Record1");
    ASSERT_EQ(user->messages.size(), 1);
    EXPECT_TRUE(user->messages[0].startsWith("Cannot add to " + held)) << user->messages[0].toStdString();
    EXPECT_EQ(user->saveRequests.size(), 2) << "a new file is offered";
    EXPECT_EQ(TempDir::read(held), other);
    EXPECT_TRUE(TempDir::read(fresh).startsWith("Time,Tag 1 raw,Tag 1 (unit),")) << "recording there";
}

} // namespace quellix
