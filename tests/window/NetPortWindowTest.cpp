// A network port as COM1: the server's end of the connection puts the window in the state of an
// unplugged adapter, and its return lets Auto Read go on without a click. The server is quellix-sim
// listening on loopback itself, as a device server would.
#include "PortTestSupport.h"
#include "SimProcess.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace quellix {

namespace {

class NetPortWindow : public PortWindowTest {
protected:
    bool ButtonsEnabled() const {
        return Find<QPushButton>("Button12")->isEnabled() && Find<QPushButton>("Button13")->isEnabled() &&
               Find<QPushButton>("Button14")->isEnabled();
    }
    bool StatusBecomes(const QString& text) {
        const bool reached = QTest::qWaitFor([&] { return PortStatus() == text; }, PortWaitMs);
        EXPECT_TRUE(reached) << "status stays " << PortStatus().toStdString();
        return reached;
    }
};

} // namespace

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

} // namespace quellix
