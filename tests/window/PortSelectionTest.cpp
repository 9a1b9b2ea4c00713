#include "WindowFixture.h"

#include "MemIniFile.h"
#include "TestPty.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>

namespace quellix {

namespace {

class PortSelection : public WindowTest {
protected:
    TComPort* Port() const { return form->findChild<TComPort*>("ComPort1"); }
    void ExpectOpen(bool open) {
        EXPECT_EQ(Port()->IsOpen(), open);
        for (const char* name : {"Button12", "Button13", "Button14"})
            EXPECT_EQ(Find<QPushButton>(name)->isEnabled(), open) << name;
    }
    QStringList CheckedPorts() const {
        QStringList checked;
        for (int n = 1; n <= 4; ++n) {
            if (Checked(QString("Com_%1").arg(n)))
                checked << QString("Com_%1").arg(n);
        }
        return checked;
    }
    TestPty pty;
    TestPty second;
};

TEST_F(PortSelection, PortHasTheDesignedSettings) {
    Create();
    const TComPort* port = Port();
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->CommPort, TCommPort::Com2);
    EXPECT_EQ(port->BaudRate, TBaudRate::___9600);
    EXPECT_EQ(port->RxDelay, TRxDelay::__50);
    EXPECT_EQ(port->RTSState, TRTSState::RTS_Disable);
    EXPECT_EQ(port->DTRState, TDTRState::DTR_Enable);
    EXPECT_EQ(port->Parity, TParity::None);
    EXPECT_EQ(port->DataBits, TDataBits::_8);
    EXPECT_EQ(port->StopBits, TStopBits::_1);
    EXPECT_FALSE(port->IsOpen());
}

TEST_F(PortSelection, StartOpensTheCheckedPortMappedInPorts) {
    WriteFormState("[TForm1]\nCom_2_Checked=True\n[Ports]\nCOM2=" + pty.path() + "\n");
    Start();
    EXPECT_TRUE(user->messages.isEmpty()) << user->messages.join('|').toStdString();
    ExpectOpen(true);
    EXPECT_EQ(Port()->CommPort, TCommPort::Com2);
    EXPECT_EQ(Port()->DevicePath(), pty.path());
    EXPECT_EQ(CheckedPorts(), QStringList{"Com_2"});
}

TEST_F(PortSelection, BothComOneAndComFourCheckedOpensComFour) {
    WriteFormState("[TForm1]\nCom_1_Checked=True\nCom_4_Checked=True\n[Ports]\nCOM1=" + second.path() +
                   "\nCOM4=" + pty.path() + "\n");
    Start();
    EXPECT_TRUE(user->messages.isEmpty());
    ExpectOpen(true);
    EXPECT_EQ(Port()->DevicePath(), pty.path());
    EXPECT_EQ(CheckedPorts(), QStringList{"Com_4"});
}

TEST_F(PortSelection, SwitchingPortsFollowsTheMenuAndReportsFailures) {
    WriteFormState("[TForm1]\nCom_2_Checked=True\n[Ports]\nCOM2=" + pty.path() +
                   "\nCOM1=" + start.file("gone") + "\n");
    Start();
    ExpectOpen(true);
    Find<QCheckBox>("AutoSend")->setChecked(true);

    Trigger("Com_1");
    EXPECT_EQ(user->messages, QStringList{"Error opening com port 1"});
    ExpectOpen(false);
    EXPECT_FALSE(Checked("AutoSend"));
    EXPECT_TRUE(Find<QCheckBox>("AutoSend")->isEnabled());
    EXPECT_EQ(CheckedPorts(), QStringList{"Com_1"});

    Trigger("Com_2");
    EXPECT_EQ(user->messages.size(), 1);
    ExpectOpen(true);
    EXPECT_EQ(CheckedPorts(), QStringList{"Com_2"});

    // The port already open is closed and opened again.
    Trigger("Com_2");
    EXPECT_EQ(user->messages.size(), 1);
    ExpectOpen(true);
    EXPECT_EQ(CheckedPorts(), QStringList{"Com_2"});
}

TEST_F(PortSelection, AnEditedPortsSectionCountsAtTheNextSelection) {
    WriteFormState("[TForm1]\nCom_3_Checked=True\n[Ports]\nCOM3=" + start.file("gone") + "\n");
    Start();
    EXPECT_EQ(user->messages, QStringList{"Error opening com port 3"});
    ExpectOpen(false);

    WriteFormState("[TForm1]\nCom_3_Checked=True\n[Ports]\nCOM3=" + second.path() + "\n");
    Trigger("Com_3");
    EXPECT_EQ(user->messages.size(), 1);
    ExpectOpen(true);
    EXPECT_EQ(Port()->DevicePath(), second.path());
}

TEST_F(PortSelection, CloseStopsThePortAfterTheAutosave) {
    WriteFormState("[TForm1]\nCom_2_Checked=True\n[Ports]\nCOM2=" + pty.path() + "\n");
    Start();
    ExpectOpen(true);
    Close();
    EXPECT_FALSE(Port()->IsOpen());
    EXPECT_EQ(TempDir::read(AutosavePath()).size(), qsizetype(ConfigBlockSize));
    EXPECT_EQ(TMemIniFile(FormStatePath()).ReadString(u"TForm1", u"Com_2_Checked"), QString("True"));
}

} // namespace

} // namespace quellix
