// The Ports dialog from the Setup menu, the port's status bar, and the reasons shown when a port does
// not open, on the real window with a fake machine as its device root.
#include "DeviceLocks.h"
#include "PortTestSupport.h"
#include "PortsDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>

namespace quellix {

namespace {

class PortsMenu : public PortWindowTest {
protected:
    void SetUp() override {
        PortWindowTest::SetUp();
        BuildFakeMachine(tree);
        LinkNode(tree, "/dev/ttyUSB1", first.path());
        LinkNode(tree, "/dev/ttyUSB2", second.path());
    }
    static void SetRow(TPortsDialog& dialog, int slot, const QString& text) {
        dialog.findChild<QComboBox*>(QString("Port_%1").arg(slot))->setEditText(text);
    }
    static QString State(const TPortsDialog& dialog, int slot) {
        return dialog.findChild<QLabel*>(QString("PortState_%1").arg(slot))->text();
    }
    static void Press(TPortsDialog& dialog, QDialogButtonBox::StandardButton which) {
        dialog.findChild<QDialogButtonBox*>("PortsButtons")->button(which)->click();
    }
    TestPty first;
    TestPty second;
};

TEST_F(PortsMenu, SetupMenuHasPortsBelowASeparatorThenTheLinkMonitorAndFindUnit) {
    Create();
    const auto* setup = Find<QMenu>("Setup1");
    QStringList items;
    for (const QAction* action : setup->actions())
        items << (action->isSeparator() ? QString("--")
                                        : action->objectName() + "=" + QString(action->text()).remove(u'&'));
    EXPECT_EQ(items,
              QStringList({"Com_1=Com1", "Com_2=Com2", "Com_3=Com3", "Com_4=Com4", "--", "Ports1=Ports\u2026",
                           "LinkMonitor1=Link Monitor\u2026", "FindUnit1=Find Unit\u2026"}));
}

struct StatusCase {
    const char* what;
    QString formState;
    QString status;
};

TEST_F(PortsMenu, StatusBarTellsThePortBelowTheDesignedClientArea) {
    const QList<StatusCase> cases{
        {"no port", "", "No port selected"},
        {"open", "[TForm1]\nCom_2_Checked=True\n[Ports]\nCOM2=/dev/ttyUSB1\n", "COM2 /dev/ttyUSB1 open"},
        {"default device missing", "[TForm1]\nCom_3_Checked=True\n", "COM3 /dev/ttyS2 not open"},
    };
    for (const StatusCase& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFormState(c.formState);
        StartOnFakeRoot();
        EXPECT_EQ(PortStatus(), c.status);
        const QWidget* client = form->centralWidget();
        const QStatusBar* bar = form->statusBar();
        EXPECT_EQ(client->size(), QSize(446, 590));
        EXPECT_TRUE(bar->isVisible());
        EXPECT_GE(bar->geometry().top(), client->geometry().bottom());
        EXPECT_EQ(form->height(), client->geometry().bottom() + 1 + bar->height());
        form.reset();
    }
}

TEST_F(PortsMenu, OkWritesThePortsSectionAndSelectsTheCheckedPortAgain) {
    WriteFormState("[TForm1]\nCom_1_Checked=True\n[Ports]\nCOM1=/dev/ttyUSB1\n; picked by hand\n"
                   "[Other]\nKey=Value\n");
    StartOnFakeRoot();
    ASSERT_TRUE(Port()->IsOpen());
    ASSERT_FALSE(CanLock(first.path()));

    QStringList shown;
    RunPortsDialog([&](TPortsDialog& dialog) {
        shown = dialog.Paths();
        EXPECT_EQ(State(dialog, 1), "open");
        SetRow(dialog, 1, "/dev/ttyUSB2");
        SetRow(dialog, 3, "/dev/ttyUSB7");
        Press(dialog, QDialogButtonBox::Ok);
    });

    EXPECT_EQ(shown, QStringList({"/dev/ttyUSB1", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"}));
    EXPECT_EQ(IniValue("Ports", "COM1"), "/dev/ttyUSB2");
    EXPECT_EQ(IniValue("Ports", "COM3"), "/dev/ttyUSB7");
    const QString text = QString::fromUtf8(TempDir::read(FormStatePath()));
    EXPECT_FALSE(text.contains("COM2")) << "unchanged rows are not written";
    EXPECT_TRUE(text.contains("; picked by hand\n"));
    EXPECT_EQ(IniValue("Other", "Key"), "Value");
    EXPECT_EQ(IniValue("TForm1", "Com_1_Checked"), "True");

    EXPECT_TRUE(user->messages.isEmpty()) << user->messages.join('|').toStdString();
    EXPECT_TRUE(Port()->IsOpen());
    EXPECT_EQ(Port()->DevicePath(), tree.rooted("/dev/ttyUSB2"));
    EXPECT_EQ(PortStatus(), "COM1 /dev/ttyUSB2 open");
    EXPECT_TRUE(CanLock(first.path())) << "the previous device is let go";
    EXPECT_TRUE(ButtonsEnabled());
}

TEST_F(PortsMenu, CancelOrAnotherSlotLeavesThePortRunning) {
    const QString formState = "[TForm1]\nCom_1_Checked=True\n[Ports]\nCOM1=/dev/ttyUSB1\n";
    WriteFormState(formState);
    StartOnFakeRoot();
    ASSERT_TRUE(Port()->IsOpen());
    const QStringList workers = ThreadIds();

    RunPortsDialog([&](TPortsDialog& dialog) {
        SetRow(dialog, 1, "/dev/ttyUSB2");
        Press(dialog, QDialogButtonBox::Cancel);
    });
    RunPortsDialog([&](TPortsDialog& dialog) { Press(dialog, QDialogButtonBox::Ok); });
    EXPECT_EQ(QString::fromUtf8(TempDir::read(FormStatePath())), formState);

    RunPortsDialog([&](TPortsDialog& dialog) {
        SetRow(dialog, 2, FakeFtdiById);
        Press(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(IniValue("Ports", "COM2"), FakeFtdiById);
    EXPECT_EQ(IniValue("Ports", "COM1"), "/dev/ttyUSB1");
    // Not selected again: the same workers still run the same device.
    EXPECT_EQ(ThreadIds(), workers);
    EXPECT_EQ(Port()->DevicePath(), tree.rooted("/dev/ttyUSB1"));
    EXPECT_EQ(PortStatus(), "COM1 /dev/ttyUSB1 open");
    EXPECT_TRUE(user->messages.isEmpty());
}

TEST_F(PortsMenu, ADeviceThatDoesNotOpenIsReportedAsAtAnyPortSelection) {
    WriteFormState("[TForm1]\nCom_4_Checked=True\n[Ports]\nCOM4=/dev/ttyUSB1\n");
    StartOnFakeRoot();
    Find<QCheckBox>("AutoSend")->setChecked(true);

    RunPortsDialog([&](TPortsDialog& dialog) {
        SetRow(dialog, 4, "/dev/ttyUSB7");
        Press(dialog, QDialogButtonBox::Ok);
    });

    ASSERT_EQ(user->messages, QStringList{"Error opening com port 4"});
    EXPECT_TRUE(user->informative.value(0).startsWith("/dev/ttyUSB7: device not found"))
        << user->informative.value(0).toStdString();
    EXPECT_FALSE(Port()->IsOpen());
    EXPECT_FALSE(ButtonsEnabled());
    EXPECT_FALSE(Checked("AutoSend"));
    EXPECT_TRUE(Checked("Com_4"));
    EXPECT_EQ(PortStatus(), "COM4 /dev/ttyUSB7 not open");
}

struct DiagnosisCase {
    const char* what;
    QString path;
    QString informativeStart;
    QString mentions;
    bool offersFindUnit; // only where no device is there
};

// The main text stays the designed one; the informative text says why, from the errno the serial
// component kept and the device's state in the tree.
TEST_F(PortsMenu, AFailedOpenSaysWhyUnderTheDesignedMessage) {
    const DeviceLockHolder otherProgram(second.path());
    tree.writeFile("/proc/4242/comm", "minicom\n");
    tree.makeLink("/proc/4242/fd/5", "/dev/ttyUSB2");
    TestPty third;
    LinkNode(tree, "/dev/ttyUSB3", third.path());
    const DeviceLockHolder unnamedProgram(third.path());

    const QList<DiagnosisCase> cases{
        {"missing", "/dev/ttyUSB7", "/dev/ttyUSB7: device not found", "plugged in", true},
        {"not a tty", "/dev/ttyACM0", "/dev/ttyACM0: not a serial device", "Choose a serial port", false},
        {"by-id name of a plain file", FakeFtdiById, FakeFtdiById + " (/dev/ttyUSB0): not a serial device",
         "", false},
        {"busy, holder named", "/dev/ttyUSB2",
         "/dev/ttyUSB2: in use by another program: minicom (process 4242)", "Close it and try again", false},
        {"busy, holder not found", "/dev/ttyUSB3", "/dev/ttyUSB3: in use by another program.", "Close it",
         false},
    };
    for (const DiagnosisCase& c : cases) {
        SCOPED_TRACE(c.what);
        user->messages.clear();
        user->informative.clear();
        WriteFormState("[TForm1]\nCom_1_Checked=True\n[Ports]\nCOM1=" + c.path + "\n");
        StartOnFakeRoot();
        EXPECT_EQ(user->messages, QStringList{"Error opening com port 1"});
        const QString why = user->informative.value(0);
        EXPECT_TRUE(why.startsWith(c.informativeStart)) << why.toStdString();
        EXPECT_TRUE(why.contains(c.mentions)) << why.toStdString();
        EXPECT_EQ(why.contains("\"Setup\" > \"Find Unit\u2026\""), c.offersFindUnit) << why.toStdString();
        EXPECT_EQ(PortStatus(), "COM1 " + c.path + " not open");
        EXPECT_EQ(Find<QLabel>("PortStatus")->toolTip(), why);
        form.reset();
    }
}

TEST_F(PortsMenu, ABusyPortNamesTheProgramHoldingItOnTheRealMachine) {
    const DeviceLockHolder self(first.path());
    WriteFormState("[TForm1]\nCom_2_Checked=True\n[Ports]\nCOM2=" + first.path() + "\n");
    Start();
    ASSERT_EQ(user->messages, QStringList{"Error opening com port 2"});
    const QString why = user->informative.value(0);
    EXPECT_TRUE(why.startsWith(first.path() + ": in use by another program: ")) << why.toStdString();
    EXPECT_TRUE(why.contains(QString("(process %1)").arg(::getpid()))) << why.toStdString();
}

} // namespace

} // namespace quellix
