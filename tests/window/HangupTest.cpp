// Unplugging and re-plugging the port's device: the window stops the port and its sequences, says the
// device is gone, and opens the port again, once, when the same path returns. The port's path is a
// symbolic link to a pty, as a /dev/serial/by-id name is to its node: unplugging removes the link and
// closes the pty's master, re-plugging links the path to a new pty.
#include "PortTestSupport.h"

#include <QFile>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <stdexcept>
#include <unistd.h>

namespace quellix {

namespace {

// The ids in `ids` that `others` lacks.
QStringList Without(const QStringList& ids, const QStringList& others) {
    QStringList rest;
    for (const QString& id : ids) {
        if (!others.contains(id))
            rest << id;
    }
    return rest;
}

class Hangup : public PortWindowTest {
protected:
    void SetUp() override {
        PortWindowTest::SetUp();
        Plug(plugged);
        WriteFormState(FormState());
    }
    QString FormState() const { return "[TForm1]\nCom_1_Checked=True\n[Ports]\nCOM1=" + node + "\n"; }
    QString Status(const QString& state) const { return "COM1 " + node + " " + state; }
    void Plug(const TestPty& pty) const {
        ::unlink(QFile::encodeName(node).constData());
        if (::symlink(QFile::encodeName(pty.path()).constData(), QFile::encodeName(node).constData()) != 0)
            throw std::runtime_error("cannot link the port's path");
    }
    void Unplug() {
        ::unlink(QFile::encodeName(node).constData());
        plugged.closeMaster();
    }
    // Runs the event loop for a while in which nothing is expected to happen: the watcher polls every
    // second and lets a returned path settle for half a second.
    static void LetTheWatcherLook() { QTest::qWait(2500); }
    TempDir devices;
    const QString node = devices.file("ttyUSB0");
    TestPty plugged;
};

TEST_F(Hangup, UnplugEndsTheDownloadAndTheReturnReopensThePortOnce) {
    Start();
    ASSERT_TRUE(Port()->IsOpen());
    const QStringList whileOpen = ThreadIds();
    Find<QCheckBox>("AutoSend")->setChecked(true);
    Click("Button13");
    ASSERT_EQ(Text("Label8"), " Receiving ");

    Unplug();
    ASSERT_TRUE(StatusBecomes(Status("gone")));
    EXPECT_FALSE(Port()->IsOpen());
    const QStringList whileGone = ThreadIds();
    EXPECT_EQ(Without(whileOpen, whileGone).size(), 2) << "both workers have ended";
    EXPECT_TRUE(Without(whileGone, whileOpen).isEmpty());
    EXPECT_EQ(Text("Label8"), " Error ");
    EXPECT_EQ(Find<QLabel>("Label8")->palette().color(QPalette::Window), QColor(255, 0, 0));
    EXPECT_FALSE(Find<QTimer>("Timer4")->isActive());
    // Nothing can be sent while the device is gone, as for a port that is not open; Auto Read keeps its
    // tick and resumes when the port is back.
    EXPECT_TRUE(Checked("AutoSend"));
    EXPECT_FALSE(Find<QPushButton>("Button12")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>("Button13")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>("Button14")->isEnabled());
    EXPECT_TRUE(user->messages.isEmpty());

    TestPty replugged;
    Plug(replugged);
    ASSERT_TRUE(StatusBecomes(Status("open")));
    EXPECT_TRUE(Port()->IsOpen());
    const QStringList reopened = ThreadIds();
    EXPECT_EQ(Without(reopened, whileGone).size(), 2) << "one new pair of workers, no more";
    EXPECT_TRUE(Without(whileGone, reopened).isEmpty());
    EXPECT_TRUE(Checked("AutoSend"));
    EXPECT_TRUE(ButtonsEnabled());
    EXPECT_TRUE(user->messages.isEmpty());

    // The node changing again does not reopen the port that runs: Auto Read goes on to the same pty.
    TestPty another;
    Plug(another);
    LetTheWatcherLook();
    EXPECT_TRUE(replugged.readWhileEventsRun(3).startsWith(QByteArray("\x01x\x00", 3)));
    EXPECT_EQ(ThreadIds(), reopened);
    EXPECT_EQ(PortStatus(), Status("open"));
}

TEST_F(Hangup, AReturnThatStillDoesNotOpenOnlyShowsInTheStatusBar) {
    Start();
    ASSERT_TRUE(Port()->IsOpen());
    Find<QCheckBox>("AutoSend")->setChecked(true);

    Unplug();
    ASSERT_TRUE(StatusBecomes(Status("gone")));
    // Something that is no tty appears at the path.
    devices.write("ttyUSB0", {});
    ASSERT_TRUE(StatusBecomes(Status("not open")));
    EXPECT_TRUE(user->messages.isEmpty()) << user->messages.join('|').toStdString();
    EXPECT_TRUE(Find<QLabel>("PortStatus")->toolTip().contains("not a serial device"));
    EXPECT_FALSE(Port()->IsOpen());
    EXPECT_FALSE(ButtonsEnabled());
    EXPECT_FALSE(Checked("AutoSend"));

    // Reopened once only: a working device now waits for the user.
    TestPty replugged;
    Plug(replugged);
    LetTheWatcherLook();
    EXPECT_FALSE(Port()->IsOpen());
    EXPECT_EQ(PortStatus(), Status("not open"));
    Trigger("Com_1");
    EXPECT_TRUE(Port()->IsOpen());
}

TEST_F(Hangup, AHangUpOfThePreviousPortDoesNotStopTheNextOne) {
    TestPty next;
    WriteFormState(FormState() + "COM2=" + next.path() + "\n");
    Start();
    ASSERT_TRUE(Port()->IsOpen());

    // The hang-up is posted while the window is busy; it is delivered only after COM2 has opened.
    plugged.closeMaster();
    QThread::msleep(300);
    Trigger("Com_2");
    const QString secondOpen = "COM2 " + next.path() + " open";
    ASSERT_EQ(PortStatus(), secondOpen);
    QTest::qWait(300);
    EXPECT_TRUE(Port()->IsOpen());
    EXPECT_EQ(PortStatus(), secondOpen);
}

} // namespace

} // namespace quellix
