#include "WindowFixture.h"

#include "Charset.h"
#include "FileLimits.h"
#include "MemIniFile.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <optional>
#include <sys/stat.h>

namespace quellix {

namespace {

const QStringList FormStateKeys{"FormVersion",   "Flags",         "ShowCmd",      "PixelsPerInch",
                                "MinMaxPos",     "NormPos",       "Visible",      "Com_2_Checked",
                                "Com_1_Checked", "Com_3_Checked", "Com_4_Checked"};

QStringList KeysOf(const QString& path, const QString& section) {
    QStringList keys;
    for (const auto& entry : TMemIniFile(path).ReadSection(section))
        keys << entry.first;
    return keys;
}

class Startup : public WindowTest {
protected:
    // A "Ports" section that maps every port to a device that does not exist.
    QString MissingPorts() const {
        QString ports = "[Ports]\n";
        for (int n = 1; n <= 8; ++n)
            ports += QString("COM%1=%2\n").arg(n).arg(start.file(QString("no-tty%1").arg(n)));
        return ports;
    }
    void ExpectPortButtons(bool enabled) {
        for (const char* name : {"Button12", "Button13", "Button14"})
            EXPECT_EQ(Find<QPushButton>(name)->isEnabled(), enabled) << name;
    }
    QString Stored(const QString& key) const {
        return TMemIniFile(FormStatePath()).ReadString(u"TForm1", key).value_or("<missing>");
    }
};

TEST_F(Startup, WithoutFilesShowsTheDefaultsSilently) {
    Start();
    EXPECT_TRUE(user->messages.isEmpty()) << user->messages.join('|').toStdString();
    EXPECT_EQ(form->windowTitle(), "Quellix Config V1.0");
    ExpectPortButtons(false);
    EXPECT_FALSE(Checked("AutoSend"));
    for (int n = 1; n <= 4; ++n)
        EXPECT_FALSE(Checked(QString("Com_%1").arg(n)));

    EXPECT_EQ(Text("Header_1"), "Header Data");
    EXPECT_EQ(Text("Header_2"), "Additional Info");
    const QStringList calib1{"     10.0", "     1.00", "   0.100", "      100"};
    const QStringList calib2{"   100.0", "   10.00", "   1.000", "    1000"};
    for (int n = 1; n <= 4; ++n) {
        const QString ch = QString::number(n);
        EXPECT_EQ(Text("Tag_" + ch), "Tag " + ch);
        EXPECT_EQ(Text("Units_" + ch), "unit");
        EXPECT_EQ(Text("Calib1_" + ch), calib1[n - 1]);
        EXPECT_EQ(Text("Calib2_" + ch), calib2[n - 1]);
        EXPECT_EQ(Text("Measured1_" + ch), "      100");
        EXPECT_EQ(Text("Measured2_" + ch), "    1000");
        EXPECT_EQ(Text("MeasuredValue_" + ch), "---");
        EXPECT_EQ(Text("Raw_" + ch), "---");
        EXPECT_EQ(Find<QSpinBox>("Decimal_" + ch)->value(), n % 4);
        EXPECT_FALSE(Checked("Disable_" + ch));
    }
    EXPECT_EQ(Image(form->Block), Image(Defaults()));

    // The link's controls, placed without behaviour.
    EXPECT_EQ(Text("Label1"), "----");
    EXPECT_EQ(Text("Label8"), "----");
    EXPECT_EQ(Text("swVersion"), "swVersion");
    EXPECT_EQ(Find<QPushButton>("Button12")->text(), "Read from unit");
    EXPECT_EQ(Find<QPushButton>("Button13")->text(), "Read from unit");
    EXPECT_EQ(Find<QPushButton>("Button14")->text(), "Send to unit");
    EXPECT_EQ(Find<QCheckBox>("AutoSend")->text(), "Auto Read");
    const struct {
        const char* name;
        int interval;
        bool running;
    } timers[] = {
        {"Timer1", 2000, false}, {"Timer2", 1000, true}, {"Timer3", 5000, true}, {"Timer4", 2000, false}};
    for (const auto& t : timers) {
        const auto* timer = Find<QTimer>(t.name);
        ASSERT_NE(timer, nullptr);
        EXPECT_EQ(timer->interval(), t.interval) << t.name;
        EXPECT_EQ(timer->isActive(), t.running) << t.name;
        EXPECT_EQ(timer->timerType(), Qt::PreciseTimer) << t.name;
    }
}

TEST_F(Startup, CloseWritesBothFilesWithTheKeysInOrder) {
    Start();
    Close();
    EXPECT_EQ(KeysOf(FormStatePath(), "TForm1"), FormStateKeys);
    EXPECT_EQ(Stored("FormVersion"), "0");
    EXPECT_EQ(Stored("ShowCmd"), "1");
    EXPECT_EQ(Stored("Visible"), "0");
    for (int n = 1; n <= 4; ++n)
        EXPECT_EQ(Stored(QString("Com_%1_Checked").arg(n)), "False");
    EXPECT_EQ(TempDir::read(AutosavePath()), Image(Defaults()));
    EXPECT_TRUE(user->messages.isEmpty());
}

TEST_F(Startup, SavingTheStateKeepsPortsAndEveryOtherLineByteForByte) {
    // A Latin-1 comment and values that are not UTF-8, as other tools may leave them.
    const QByteArray before = "; caf\xE9 notes\n[Ports]\nCOM1=/dev/tty\xC4\xFF\n\n[TForm1]\nVisible=1\n"
                              "ShowCmd=1\n\n[Other]\nkey=\xB0value\n";
    config.write("quellix.INI", before);
    Start();
    Close();
    const QByteArray after = TempDir::read(FormStatePath());
    EXPECT_TRUE(after.startsWith(
        "; caf\xE9 notes\n[Ports]\nCOM1=/dev/tty\xC4\xFF\n\n[TForm1]\nVisible=0\nShowCmd=1\n"))
        << after.toStdString();
    EXPECT_TRUE(after.endsWith("\n[Other]\nkey=\xB0value\n")) << after.toStdString();
    EXPECT_EQ(KeysOf(FormStatePath(), "TForm1").size(), FormStateKeys.size());
}

TEST_F(Startup, WindowDestroyedWithoutClosingSavesItsStateAsVisible) {
    Start();
    form.reset();
    EXPECT_EQ(Stored("Visible"), "1");
    EXPECT_EQ(KeysOf(FormStatePath(), "TForm1"), FormStateKeys);
}

// The desktop session's end and any other quit of the application take the close box's path.
TEST_F(Startup, ApplicationQuittingClosesTheWindowInOrder) {
    Start();
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(Stored("Visible"), "0");
    EXPECT_EQ(TempDir::read(AutosavePath()), Image(Defaults()));
}

TEST_F(Startup, AutosaveIsLoadedAndWrittenBackByteForByte) {
    ConfigBlock saved = Defaults();
    for (std::size_t i = 0; i < ConfigBlockSize; ++i)
        BlockBytes(saved)[i] = static_cast<std::uint8_t>(i * 7 + 3);
    TextToShortString(saved.Header1, "Plant 7");
    TextToShortString(saved.TagName[2], "Boiler");
    saved.ChannelFlags[2] = 0x42;
    saved.Calibration[2].Calib1 = 1234;
    start.write("quellix.ini", Image(saved) + QByteArray("trailing bytes"));
    Start();
    EXPECT_TRUE(user->messages.isEmpty());
    EXPECT_EQ(Text("Header_1"), "Plant 7");
    EXPECT_EQ(Text("Tag_3"), "Boiler");
    EXPECT_EQ(Find<QSpinBox>("Decimal_3")->value(), 2);
    EXPECT_TRUE(Checked("Disable_3"));
    EXPECT_EQ(Text("Calib1_3"), "  ");
    Close();
    EXPECT_EQ(TempDir::read(AutosavePath()), Image(saved));
}

TEST_F(Startup, AutosaveOf100BytesReportsItThenShowsTheDefaults) {
    start.write("quellix.ini", QByteArray(100, 'x'));
    Start();
    EXPECT_EQ(user->messages, QStringList{"ERROR " + StartDir() + "/quellix.ini"});
    EXPECT_EQ(Text("Header_1"), "Header Data");
    EXPECT_EQ(Image(form->Block), Image(Defaults()));
}

TEST_F(Startup, AutosaveThatCannotBeWrittenIsReportedAndTheWindowStillCloses) {
    ASSERT_TRUE(QDir(start.path()).mkdir("quellix.ini"));
    Start();
    EXPECT_TRUE(user->messages.isEmpty());
    Close();
    EXPECT_EQ(user->messages, QStringList{"Cannot Save " + StartDir() + "/quellix.ini"});
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(KeysOf(FormStatePath(), "TForm1"), FormStateKeys);
}

TEST_F(Startup, FormStateThatCannotBeWrittenIsReportedAndTheCloseGoesOn) {
    ASSERT_TRUE(QDir(config.path()).mkdir("quellix.INI"));
    Start();
    EXPECT_TRUE(user->messages.isEmpty());
    Close();
    EXPECT_EQ(user->messages, QStringList{"Cannot Save " + FormStatePath()});
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(TempDir::read(AutosavePath()), Image(Defaults()));
}

// Measured before: on a full disk the close left a 92-byte form-state file empty, and said nothing.
TEST_F(Startup, SavesThatFailAtTheFlushKeepBothFilesAndSaySo) {
    const QByteArray state = "[TForm1]\nShowCmd=1\n[Ports]\nCOM1=/dev/ttyUSB0\n; kept by hand, every byte\n";
    config.write("quellix.INI", state + QByteArray(92 - state.size(), '#'));
    start.write("quellix.ini", Image(Defaults()));
    Start();
    {
        FileSizeLimit limit(40);
        ASSERT_TRUE(limit.Ok());
        Close();
    }
    EXPECT_EQ(user->messages,
              (QStringList{"Cannot Save " + FormStatePath(), "Cannot Save " + StartDir() + "/quellix.ini"}));
    EXPECT_EQ(TempDir::read(FormStatePath()).size(), 92);
    EXPECT_EQ(TempDir::read(AutosavePath()), Image(Defaults()));
}

// Measured before: a form-state file without read permission was replaced at the close by the window's
// keys alone, its [Ports] section and every other line lost.
TEST_F(Startup, AFormStateFileThatCannotBeReadIsNeverWrittenOver) {
    const QByteArray state = "[Ports]\nCOM1=/dev/ttyUSB0\n[TForm1]\nShowCmd=3\n";
    config.write("quellix.INI", state);
    ASSERT_EQ(::chmod(QFile::encodeName(FormStatePath()).constData(), 0), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(config.path()).constData(), 0755), 0);
    {
        AsUnprivilegedUser nobody;
        Start();
    }
    ASSERT_EQ(user->messages, QStringList{"Cannot Read " + FormStatePath()});
    Close();
    EXPECT_EQ(user->messages.size(), 1) << "said once";
    EXPECT_EQ(TempDir::read(FormStatePath()), state);
}

// A checkpoint or a logout that may still be cancelled: both files are kept, and the tool runs on. A
// failure is told only when the session manager lets the tool ask the user.
TEST_F(Startup, SessionCommitSavesBothFilesAndTheWindowStays) {
    Start();
    int asked = 0;
    form->CommitSessionData([&] { return ++asked, false; });
    EXPECT_EQ(asked, 0) << "nothing to tell";
    EXPECT_EQ(TempDir::read(AutosavePath()), Image(Defaults()));
    EXPECT_EQ(Stored("Visible"), "0");
    ASSERT_TRUE(QFile::remove(AutosavePath()) && QDir(start.path()).mkdir("quellix.ini"));
    form->CommitSessionData([&] { return ++asked, false; });
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(user->messages.isEmpty()) << "the failure went to standard error";
    form->CommitSessionData([] { return true; });
    EXPECT_EQ(user->messages, QStringList{"Cannot Save " + StartDir() + "/quellix.ini"});
    EXPECT_TRUE(form->isVisible());
}

TEST_F(Startup, AutosaveStaysInTheStartDirectoryWhenTheCurrentOneChanges) {
    Start();
    TempDir elsewhere;
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    Close();
    EXPECT_TRUE(QFileInfo::exists(AutosavePath()));
    EXPECT_FALSE(QFileInfo::exists(elsewhere.file("quellix.ini")));
}

TEST_F(Startup, ShowCmdGivesTheWindowState) {
    const struct {
        const char* showCmd;
        Qt::WindowState state;
    } cases[] = {{"1", Qt::WindowNoState}, {"2", Qt::WindowMinimized}, {"3", Qt::WindowMaximized},
                 {"5", Qt::WindowNoState}, {"6", Qt::WindowMinimized}, {"7", Qt::WindowMinimized},
                 {"9", Qt::WindowNoState}, {"0", Qt::WindowNoState},   {"4", Qt::WindowNoState},
                 {"x", Qt::WindowNoState}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.showCmd);
        WriteFormState(QString("[TForm1]\nShowCmd=%1\nNormPos=1,2,3,4\n").arg(c.showCmd));
        Start();
        EXPECT_EQ(form->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized), c.state);
        if (c.state == Qt::WindowNoState) {
            EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "a normal window keeps its designed size";
        }
        Close();
        EXPECT_EQ(Stored("ShowCmd"), c.state == Qt::WindowMinimized   ? "2"
                                     : c.state == Qt::WindowMaximized ? "3"
                                                                      : "1");
    }
}

TEST_F(Startup, NegativeFormVersionRestoresNothing) {
    WriteFormState("[TForm1]\nFormVersion=-1\nShowCmd=3\nCom_3_Checked=True\n" + MissingPorts());
    Start();
    EXPECT_FALSE(form->isMaximized());
    EXPECT_FALSE(Checked("Com_3"));
    EXPECT_TRUE(user->messages.isEmpty());
}

TEST_F(Startup, MarksCountAsTrueOrFalseInAnyCase) {
    const struct {
        const char* stored;
        bool checked;
    } cases[] = {{"True", true},   {"TRUE", true}, {"tRuE", true}, {"False", false},
                 {"FALSE", false}, {"1", false},   {"yes", false}, {"", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        user->messages.clear();
        WriteFormState(QString("[TForm1]\nCom_3_Checked=%1\n").arg(c.stored) + MissingPorts());
        Start();
        EXPECT_EQ(Checked("Com_3"), c.checked);
        EXPECT_EQ(user->messages, c.checked ? QStringList{"Error opening com port 3"} : QStringList{});
        form.reset();
    }
}

TEST_F(Startup, MarkOfAMissingDeviceIsReportedAndKeptForTheNextStart) {
    WriteFormState("[TForm1]\nCom_3_Checked=True\n" + MissingPorts());
    Start();
    EXPECT_EQ(user->messages, QStringList{"Error opening com port 3"});
    EXPECT_TRUE(Checked("Com_3"));
    ExpectPortButtons(false);
    EXPECT_FALSE(form->findChild<TComPort*>("ComPort1")->IsOpen());
    Close();
    EXPECT_EQ(Stored("Com_3_Checked"), "True");
    EXPECT_EQ(Stored("Com_1_Checked"), "False");
}

TEST_F(Startup, HighestCheckedPortWinsAndOnlyItStaysChecked) {
    WriteFormState("[TForm1]\nCom_1_Checked=True\nCom_4_Checked=True\n" + MissingPorts());
    Start();
    EXPECT_EQ(user->messages, QStringList{"Error opening com port 4"});
    EXPECT_FALSE(Checked("Com_1"));
    EXPECT_TRUE(Checked("Com_4"));
}

TEST_F(Startup, PortMessageComesBeforeTheLoadMessage) {
    WriteFormState("[TForm1]\nCom_2_Checked=True\n" + MissingPorts());
    start.write("quellix.ini", QByteArray(100, 'x'));
    Start();
    EXPECT_EQ(user->messages,
              (QStringList{"Error opening com port 2", "ERROR " + StartDir() + "/quellix.ini"}));
}

// Labels whose text is their own object name, as every label is before start-up has drawn the block.
// swVersion's designed caption is its name.
QStringList LabelsShowingTheirName(const QWidget& form) {
    QStringList names;
    for (const QLabel* label : form.findChildren<QLabel*>()) {
        const QString name = label->objectName();
        if (!name.isEmpty() && name != "swVersion" && label->text() == name)
            names << name;
    }
    return names;
}

// What the user sees at the window's first show and first paint.
class FirstLook : public QObject {
public:
    explicit FirstLook(QWidget& form) : form_(form) { form.installEventFilter(this); }
    std::optional<QStringList> atShow;
    std::optional<QStringList> atPaint;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &form_ && event->type() == QEvent::Show && !atShow)
            atShow = LabelsShowingTheirName(form_);
        if (watched == &form_ && event->type() == QEvent::Paint && !atPaint)
            atPaint = LabelsShowingTheirName(form_);
        return false;
    }

private:
    QWidget& form_;
};

TEST_F(Startup, StartupMessagesComeBeforeTheWindowAndItsFirstPaintShowsTheBlock) {
    WriteFormState("[TForm1]\nCom_2_Checked=True\n" + MissingPorts());
    start.write("quellix.ini", QByteArray(100, 'x'));
    Create();
    FirstLook look(*form);
    ASSERT_FALSE(LabelsShowingTheirName(*form).isEmpty()) << "the check sees names before start-up";
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return look.atPaint.has_value(); }, 5000));
    EXPECT_EQ(user->messages,
              (QStringList{"Error opening com port 2", "ERROR " + StartDir() + "/quellix.ini"}));
    EXPECT_EQ(user->overVisibleWindow, (QList<bool>{false, false}));
    ASSERT_TRUE(look.atShow.has_value());
    EXPECT_TRUE(look.atShow->isEmpty()) << look.atShow->join(", ").toStdString();
    EXPECT_TRUE(look.atPaint->isEmpty()) << look.atPaint->join(", ").toStdString();
    EXPECT_EQ(Text("Tag_1"), "Tag 1");
}

TEST_F(Startup, ShowRunsOnceNotOnEveryRestore) {
    WriteFormState("[TForm1]\nCom_2_Checked=True\n" + MissingPorts());
    Start();
    ASSERT_EQ(user->messages.size(), 1);
    form->showMinimized();
    form->hide();
    form->showNormal();
    EXPECT_EQ(user->messages.size(), 1);
}

} // namespace

} // namespace quellix
