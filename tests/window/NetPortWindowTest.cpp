// A network port as COM1: the server's end of the connection puts the window in the state of an
// unplugged adapter, and its return lets Auto Read go on without a click. The server is quellix-sim
// listening on loopback itself, as a device server would.
#include "PortTestSupport.h"
#include "SimProcess.h"

#include "PortsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace quellix {

using NetPortWindow = PortWindowTest;

TEST_F(NetPortWindow, ServerGoneDisablesTheButtonsAndItsReturnResumesAutoRead) {
    auto sim =
        std::make_unique<SimProcess>(QStringList{"--listen", "127.0.0.1:0"}, SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(sim->started());
    const QString listen = sim->path();
    const QString url = "tcp://" + listen;
    WriteFormState("[TForm1]\nCom_1_Checked=True\n[Ports]\nCOM1=" + url + "\n");
    Start();
    ASSERT_EQ(PortStatus(), "COM1 " + url + " open");
    EXPECT_TRUE(ButtonsEnabled());
    Find<QCheckBox>("AutoSend")->setChecked(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Text("Raw_1") != "---"; }, PortWaitMs));

    sim.reset();
    ASSERT_TRUE(StatusBecomes("COM1 " + url + " gone"));
    EXPECT_FALSE(ButtonsEnabled());
    EXPECT_TRUE(Checked("AutoSend")) << "Auto Read keeps its tick while the server is away";
    EXPECT_TRUE(Find<QWidget>("PortStatus")->toolTip().contains("tried again every"));

    // Back on the same port; the next try finds it, and a new reading comes in.
    sim = std::make_unique<SimProcess>(QStringList{"--listen", listen}, SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(sim->started());
    const QString before = Text("Raw_1");
    ASSERT_TRUE(StatusBecomes("COM1 " + url + " open"));
    EXPECT_TRUE(ButtonsEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Text("Raw_1") != before; }, PortWaitMs));
}

// A network port typed into a row is not connected to while typing; Check connects once and tells
// what answered.
TEST_F(NetPortWindow, PortsDialogChecksATypedNetworkPort) {
    SimProcess sim({"--listen", "127.0.0.1:0"}, SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(sim.started());
    const QString url = "tcp://" + sim.path();
    Start();
    RunPortsDialog([&](TPortsDialog& dialog) {
        dialog.findChild<QComboBox*>("Port_2")->setEditText(url);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return dialog.findChild<QLabel*>("PortState_2")->text() == "network port"; }));
        dialog.findChild<QPushButton*>("Check_2")->click();
        auto* result = dialog.findChild<QLabel*>("CheckResult");
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return result->text().contains("Unit, software version"); }, PortWaitMs))
            << result->text().toStdString();
        EXPECT_TRUE(result->text().startsWith("COM2 " + url + ": "));
        dialog.reject();
    });
}

} // namespace quellix
