// Find Unit on a fake machine whose device nodes lead to simulated units and bare pseudo-terminals: what
// the dialog tells of each device, that the window's own port is left alone, and a unit taken as a port
// from the window's Setup menu.
#include "DeviceLocks.h"
#include "FindUnitDialog.h"
#include "PortTestSupport.h"
#include "SimProcess.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <chrono>

namespace quellix {

namespace {

using namespace std::chrono_literals;

// Each row as "device | found | port now", the device by its first line; "+use" where COM1..COM4 are
// offered. One line each.
QString Rows(const TFindUnitDialog& dialog) {
    const auto* table = dialog.findChild<QTableWidget*>("FindResults");
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r) {
        QString row = table->item(r, TFindUnitDialog::DeviceColumn)->text().section('\n', 0, 0) + " | " +
                      table->item(r, TFindUnitDialog::FoundColumn)->text() + " | " +
                      table->item(r, TFindUnitDialog::PortsColumn)->text();
        if (dialog.findChild<QAbstractButton*>(QString("Use_%1_1").arg(r)))
            row += " +use";
        rows << row;
    }
    return rows.join('\n');
}

bool WaitFound(const TFindUnitDialog& dialog) {
    return QTest::qWaitFor([&] { return !dialog.Finding(); }, ProbeTimeLimitMs + PortWaitMs);
}

// A unit behind the FTDI adapter's node, a device that answers nothing behind the Arduino's, and a
// pseudo-terminal at /dev/ttyUSB1 for the window's own port. Their by-id names lead out of the tree
// now, so the nodes are listed by themselves.
class FindUnitSetup {
protected:
    void BuildMachine(const FakeTree& tree) {
        BuildFakeMachine(tree);
        LinkNode(tree, "/dev/ttyUSB0", unit.path());
        LinkNode(tree, "/dev/ttyACM0", quiet.path());
        LinkNode(tree, "/dev/ttyUSB1", ours.path());
    }
    SimProcess unit{QStringList{"--version", "QX-4 V2.1"}, SimProcess::Port::LeaveClosed};
    TestPty quiet;
    TestPty ours;
};

class FindUnitDialogTest : public testing::Test, protected FindUnitSetup {
protected:
    void SetUp() override {
        ASSERT_TRUE(unit.started());
        BuildMachine(tree);
    }
    FakeTree tree;
};

TEST_F(FindUnitDialogTest, TellsEachDeviceWhatItAnsweredAndLeavesTheOpenPortAlone) {
    const QMap<QString, QString> ports{
        {"COM1", "/dev/ttyUSB1"}, {"COM2", "/dev/ttyUSB7"}, {"COM3", "/dev/ttyUSB0"}};
    TFindUnitDialog dialog(tree.root(), ports, "/dev/ttyUSB1");
    ASSERT_TRUE(WaitFound(dialog));

    const QString expected =
        "/dev/ttyACM0 | No answer | \n"
        "/dev/ttyS0 | Not a serial device. Choose a serial port (a tty such as /dev/ttyUSB0) instead. | \n"
        "/dev/ttyUSB0 | Unit, software version QX-4 V2.1 | COM3 +use\n"
        "/dev/ttyUSB1 | open here | COM1\n"
        "/dev/ttyUSB7 | Device not found. Check that the adapter is plugged in and that the name is right. | "
        "COM2";
    EXPECT_EQ(Rows(dialog), expected);
    EXPECT_EQ(dialog.findChild<QLabel*>("FindStatus")->text(), "Found 1 unit.");
    EXPECT_TRUE(dialog.findChild<QPushButton*>("FindAgain")->isEnabled());
    // The device that is no unit got the version request and nothing more; the open port nothing.
    // Two statements: the operands of a + may be read in either order.
    QByteArray quietGot = quiet.read(3);
    quietGot += quiet.readFor(300ms);
    EXPECT_EQ(quietGot.toHex(' '), "01 76 00");
    EXPECT_EQ(ours.readFor(200ms), QByteArray());
    EXPECT_TRUE(CanLock(unit.path())) << "every device probed is let go";

    // The unit is taken as COM4 by its row's name.
    EXPECT_EQ(dialog.AssignedPort(), 0);
    dialog.findChild<QAbstractButton*>("Use_2_4")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.AssignedPort(), 4);
    EXPECT_EQ(dialog.AssignedPath(), "/dev/ttyUSB0");

    // Asked again with the unit's adapter pulled out: its row says so and offers nothing to take.
    tree.remove("/dev/ttyUSB0");
    dialog.findChild<QPushButton*>("FindAgain")->click();
    EXPECT_TRUE(dialog.Finding());
    ASSERT_TRUE(WaitFound(dialog));
    EXPECT_EQ(Rows(dialog).split('\n').value(2),
              "/dev/ttyUSB0 | Device not found. Check that the adapter is plugged in and that the name is "
              "right. | COM3");
    EXPECT_EQ(dialog.findChild<QLabel*>("FindStatus")->text(), "No unit answered.");
}

TEST_F(FindUnitDialogTest, ClosedWhileAskingItLetsEveryDeviceGo) {
    {
        TFindUnitDialog dialog(tree.root(), {}, QString());
        EXPECT_TRUE(dialog.Finding());
        EXPECT_TRUE(Rows(dialog).contains("/dev/ttyUSB0 | asking\u2026 | "));
    }
    EXPECT_TRUE(CanLock(unit.path()));
    EXPECT_TRUE(CanLock(quiet.path()));
}

TEST(FindUnitDialogEmpty, AMachineWithoutSerialDevicesSaysSo) {
    FakeTree tree;
    tree.makeDir("/sys/class/tty");
    TFindUnitDialog dialog(tree.root(), {}, QString());
    ASSERT_TRUE(WaitFound(dialog));
    EXPECT_EQ(Rows(dialog), "");
    EXPECT_EQ(dialog.findChild<QLabel*>("FindStatus")->text(), "No serial device found.");
}

class FindUnitMenu : public PortWindowTest, protected FindUnitSetup {
protected:
    void SetUp() override {
        PortWindowTest::SetUp();
        ASSERT_TRUE(unit.started());
        BuildMachine(tree);
    }
    // Triggers "Find Unit…", waits for its answers and runs `drive`, which must close the dialog.
    void RunFindUnit(const std::function<void(TFindUnitDialog&)>& drive) {
        bool driven = false;
        QTimer::singleShot(0, form.get(), [&] {
            auto* dialog = form->findChild<TFindUnitDialog*>("FindUnitDialog");
            driven = true;
            if (!dialog || !dialog->isVisible()) {
                ADD_FAILURE() << "the Find Unit dialog is not shown";
                return;
            }
            if (!WaitFound(*dialog))
                ADD_FAILURE() << "the dialog is still asking";
            drive(*dialog);
            if (dialog->isVisible()) {
                ADD_FAILURE() << "the Find Unit dialog was left open";
                dialog->reject();
            }
        });
        Trigger("FindUnit1");
        EXPECT_TRUE(driven) << "no Find Unit dialog";
    }
    static int RowOf(const TFindUnitDialog& dialog, const QString& device) {
        const QStringList rows = Rows(dialog).split('\n');
        for (int r = 0; r < rows.size(); ++r)
            if (rows[r].startsWith(device + " | "))
                return r;
        return -1;
    }
    static void Use(TFindUnitDialog& dialog, const QString& device, int port) {
        auto* use =
            dialog.findChild<QAbstractButton*>(QString("Use_%1_%2").arg(RowOf(dialog, device)).arg(port));
        ASSERT_NE(use, nullptr) << "no COM" << port << " beside " << device.toStdString();
        use->click();
    }
    bool ButtonsEnabled() const { return Find<QPushButton>("Button13")->isEnabled(); }
};

// The unit's port was given a device that is not there: the message offers Find Unit, and the unit
// found is written to the "Ports" section, nothing else of the file touched, and opened.
TEST_F(FindUnitMenu, AUnitFoundIsWrittenAsThePortAndSelected) {
    const QString formState = "[TForm1]\nCom_1_Checked=True\n\n[Ports]\nCOM1=/dev/ttyUSB7\n; by hand\n\n"
                              "[Other]\nKey=Value\n";
    WriteFormState(formState);
    StartOnFakeRoot();
    ASSERT_EQ(user->messages, QStringList{"Error opening com port 1"});
    EXPECT_TRUE(user->informative.value(0).endsWith("\n\n\"Setup\" > \"Find Unit\u2026\" looks for the unit "
                                                    "on every serial device."))
        << user->informative.value(0).toStdString();

    RunFindUnit([&](TFindUnitDialog& dialog) {
        EXPECT_EQ(RowOf(dialog, "/dev/ttyUSB7"), 3) << Rows(dialog).toStdString();
        Use(dialog, "/dev/ttyUSB0", 2);
    });

    QString written = QString::fromUtf8(TempDir::read(FormStatePath()));
    EXPECT_EQ(written.count("COM2=/dev/ttyUSB0\n"), 1) << written.toStdString();
    EXPECT_EQ(written.remove("COM2=/dev/ttyUSB0\n"), formState);
    EXPECT_EQ(user->messages.size(), 1);
    EXPECT_FALSE(Checked("Com_1"));
    EXPECT_TRUE(Checked("Com_2"));
    EXPECT_TRUE(Port()->IsOpen());
    EXPECT_EQ(Port()->DevicePath(), tree.rooted("/dev/ttyUSB0"));
    EXPECT_EQ(PortStatus(), "COM2 /dev/ttyUSB0 open");
    EXPECT_TRUE(ButtonsEnabled());
}

// The port open in the window shows as such and hears nothing. A unit taken over by another program
// between finding and the click fails as any selection fails: its message, its mark kept, no port.
TEST_F(FindUnitMenu, TheOpenPortIsLeftAloneAndAFailedSelectionSaysSo) {
    WriteFormState("[TForm1]\nCom_1_Checked=True\n[Ports]\nCOM1=/dev/ttyUSB1\n");
    StartOnFakeRoot();
    ASSERT_TRUE(Port()->IsOpen());
    std::unique_ptr<DeviceLockHolder> otherProgram;

    RunFindUnit([&](TFindUnitDialog& dialog) {
        EXPECT_TRUE(Rows(dialog).endsWith("\n/dev/ttyUSB1 | open here | COM1")) << Rows(dialog).toStdString();
        otherProgram = std::make_unique<DeviceLockHolder>(unit.path());
        Use(dialog, "/dev/ttyUSB0", 3);
    });
    EXPECT_EQ(ours.readFor(200ms), QByteArray());

    ASSERT_EQ(user->messages, QStringList{"Error opening com port 3"});
    const QString why = user->informative.value(0);
    EXPECT_TRUE(why.startsWith("/dev/ttyUSB0: in use by another program")) << why.toStdString();
    EXPECT_FALSE(why.contains("Find Unit")) << why.toStdString();
    EXPECT_EQ(IniValue("Ports", "COM3"), "/dev/ttyUSB0");
    EXPECT_FALSE(Checked("Com_1"));
    EXPECT_TRUE(Checked("Com_3"));
    EXPECT_FALSE(Port()->IsOpen());
    EXPECT_FALSE(ButtonsEnabled());
    EXPECT_TRUE(CanLock(ours.path())) << "the previous port is let go";
}

} // namespace

} // namespace quellix
