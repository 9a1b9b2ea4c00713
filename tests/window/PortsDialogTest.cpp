// The Ports dialog on its own, on a fake machine: what it offers, what it tells of each device, what it
// gives back, and how it follows devices coming and going while it is open.
#include "PortsDialog.h"
#include "DeviceLocks.h"
#include "PortTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace quellix {

namespace {

const QStringList kDefaults{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"};

class PortsDialogTest : public testing::Test {
protected:
    void SetUp() override { BuildFakeMachine(tree); }
    static QComboBox* Combo(const TPortsDialog& dialog, int slot) {
        return dialog.findChild<QComboBox*>(QString("Port_%1").arg(slot));
    }
    static QString State(const TPortsDialog& dialog, int slot) {
        const auto* label = dialog.findChild<QLabel*>(QString("PortState_%1").arg(slot));
        return label ? label->text() : QString("(no state label)");
    }
    static QStringList Items(const QComboBox& combo, int column) {
        QStringList items;
        for (int row = 0; row < combo.count(); ++row)
            items << combo.model()->index(row, column).data().toString();
        return items;
    }
    FakeTree tree;
};

TEST_F(PortsDialogTest, OffersEveryDeviceByIdNamesFirstWithDescriptions) {
    const QStringList paths{"/dev/ttyUSB0", FakeArduinoById, "/dev/ttyUSB9", "/dev/ttyS3"};
    TPortsDialog dialog(tree.root(), paths, QString());

    const QStringList names{FakeArduinoById, FakeFtdiById, "/dev/ttyS0"};
    const QStringList descriptions{
        "/dev/ttyACM0, cdc_acm, USB 2341:0043 Arduino Uno",
        "/dev/ttyUSB0, ftdi_sio, USB 0403:6001 FTDI FT232R USB UART, serial A10K3XYZ",
        "serial8250",
    };
    for (int slot = 1; slot <= TPortsDialog::Slots; ++slot) {
        SCOPED_TRACE(slot);
        QComboBox* combo = Combo(dialog, slot);
        ASSERT_NE(combo, nullptr);
        EXPECT_TRUE(combo->isEditable());
        EXPECT_EQ(Items(*combo, 0), names);
        EXPECT_EQ(Items(*combo, 1), descriptions);
        EXPECT_EQ(combo->model()->index(1, 0).data(Qt::ToolTipRole).toString(), descriptions[1]);
        // Each row shows its slot's device as it was, listed or not.
        EXPECT_EQ(combo->currentText(), paths[slot - 1]);
    }
    EXPECT_EQ(dialog.Paths(), paths);
}

struct StateCase {
    const char* what;
    QString rowText;
    QString expected;
};

TEST_F(PortsDialogTest, TellsTheStateOfEachRowsDevice) {
    TestPty free;
    TestPty held;
    TestPty ours;
    LinkNode(tree, "/dev/ttyUSB1", free.path());
    LinkNode(tree, "/dev/ttyUSB2", held.path());
    LinkNode(tree, "/dev/ttyUSB0", ours.path());
    const DeviceLockHolder otherProgram(held.path());
    const DeviceLockHolder thisProgram(ours.path());

    const QList<StateCase> cases{
        {"a pseudo-terminal", "/dev/ttyUSB1", "available"},
        {"a bare device name", "ttyUSB1", "available"},
        {"no such device", "/dev/ttyUSB7", "missing"},
        {"a by-id name whose adapter is gone", "/dev/serial/by-id/usb-Gone-if00-port0", "missing"},
        {"a plain file", "/dev/ttyACM0", "not a serial device"},
        {"held by another program", "/dev/ttyUSB2", "in use"},
        {"this program's own port", "/dev/ttyUSB0", "open"},
        {"this program's own port by its by-id name", FakeFtdiById, "open"},
    };
    for (const StateCase& c : cases) {
        SCOPED_TRACE(c.what);
        const QStringList paths{c.rowText, "/dev/ttyUSB7", "/dev/ttyUSB7", "/dev/ttyUSB7"};
        TPortsDialog dialog(tree.root(), paths, "/dev/ttyUSB0");
        EXPECT_EQ(State(dialog, 1), c.expected);
        EXPECT_EQ(State(dialog, 2), "missing");
    }
}

TEST_F(PortsDialogTest, GivesBackTypedPathsAsTyped) {
    TestPty pty;
    LinkNode(tree, "/dev/ttyUSB1", pty.path());
    TPortsDialog dialog(tree.root(), kDefaults, QString());
    dialog.show();
    dialog.activateWindow();
    QApplication::setActiveWindow(&dialog);

    // The first stops inside a listed name: nothing may be completed into it.
    const QStringList typed{FakeFtdiById.left(30), "ttyUSB1", "", "  /dev/ttyUSB7  "};
    for (int slot = 1; slot <= TPortsDialog::Slots; ++slot) {
        QLineEdit* edit = Combo(dialog, slot)->lineEdit();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, typed[slot - 1]);
    }
    const QStringList expected{FakeFtdiById.left(30), "/dev/ttyUSB1", "/dev/ttyS2", "/dev/ttyUSB7"};
    EXPECT_EQ(dialog.Paths(), expected);
    // The states follow the typing once it settles.
    EXPECT_TRUE(QTest::qWaitFor([&] { return State(dialog, 2) == "available"; }, PortWaitMs))
        << State(dialog, 2).toStdString();
    EXPECT_EQ(State(dialog, 1), "missing");
    EXPECT_EQ(State(dialog, 4), "missing");
}

TEST_F(PortsDialogTest, FollowsDevicesComingAndGoingWhileOpen) {
    const QString newById = "/dev/serial/by-id/usb-FTDI_FT231X_B77-if00-port0";
    TPortsDialog dialog(tree.root(), {newById, "/dev/ttyUSB0", "/dev/ttyS0", "/dev/ttyS3"}, QString());
    dialog.show();
    EXPECT_EQ(State(dialog, 1), "missing");
    ASSERT_EQ(Combo(dialog, 1)->count(), 3);

    AddFakeUsbAdapter(tree, "1-5", "ttyUSB3", "FT231X", "B77");
    EXPECT_TRUE(QTest::qWaitFor([&] { return Combo(dialog, 1)->count() == 4; }, PortWaitMs));
    EXPECT_EQ(Items(*Combo(dialog, 2), 0),
              QStringList({FakeArduinoById, newById, FakeFtdiById, "/dev/ttyS0"}));
    // The node of the new adapter is a plain file in the fake tree: no longer missing, but no tty.
    EXPECT_EQ(State(dialog, 1), "not a serial device");

    tree.remove("/dev/serial/by-id/usb-Arduino_Uno-if00");
    tree.remove("/sys/class/tty/ttyACM0");
    EXPECT_TRUE(QTest::qWaitFor([&] { return Combo(dialog, 1)->count() == 3; }, PortWaitMs));
    // What the rows show stays.
    EXPECT_EQ(dialog.Paths(), QStringList({newById, "/dev/ttyUSB0", "/dev/ttyS0", "/dev/ttyS3"}));
}

} // namespace

} // namespace quellix
