// Sets up the scenes that scripts/shots photographs under Xvfb: the main window with the Link Monitor
// beside it after a download from the simulated unit in which one request went unanswered and one
// reply came with a stray byte, and the configuration sheet of the same plant exported as PDF.
// The download runs the real link against the simulated unit's replies on a simulated clock.
// Usage: quellix_shots SHEET.pdf   (prints "ready" once the windows are up, quits after 6 s)
#include "Charset.h"
#include "LinkMonitorWindow.h"
#include "SimUnit.h"
#include "Unit1.h"
#include "Unit2.h"
#include "UserDialogs.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <iostream>
#include <optional>

namespace quellix {

namespace {

// Answers every save dialog with one path and prints any message.
class ScriptedDialogs : public TUserDialogs {
public:
    explicit ScriptedDialogs(QString savePath) : savePath_(std::move(savePath)) {}
    void ShowMessage(QWidget*, const QString& text, const QString& informative) override {
        std::cerr << "message: " << text.toStdString() << ' ' << informative.toStdString() << '\n';
    }
    std::optional<QString> OpenFileName(QWidget*, const FileDialogRequest&) override { return {}; }
    std::optional<QString> SaveFileName(QWidget*, const FileDialogRequest&) override { return savePath_; }

private:
    QString savePath_;
};

// The demo's plant, as scripts/run gives the simulated unit.
ConfigBlock Plant() {
    ConfigBlock block{};
    SetBlockDefaults(block);
    TextToShortString(block.Header1, "Boiler House");
    TextToShortString(block.Header2, "Simulated unit");
    const char* const tags[] = {"Boiler Flow", "Return Temp", "Steam Press", "Tank Level"};
    const QString units[] = {"m3/h", "\u00B0C", "bar", "%"};
    const std::uint8_t flags[] = {1, 1, 2, 1};
    const ChannelCalibration points[] = {
        {0, 0, 1023, 1200}, {0, 150, 1023, 950}, {0, 0, 1023, 1600}, {0, 0, 1023, 1000}};
    for (int i = 0; i < 4; ++i) {
        TextToShortString(block.TagName[i], tags[i]);
        TextToShortString(block.UnitName[i], units[i]);
        block.ChannelFlags[i] = flags[i];
        block.Calibration[i] = points[i];
    }
    return block;
}

// The window side of a link on a simulated clock: what it sends and what the unit answers are told to
// the monitor as the link will tell it.
class DemoHost : public LinkHost {
public:
    DemoHost(LinkEventSink& sink, qint64& clockMs) : sink_(sink), clock_(clockMs) {}
    void SetLink(DeviceLink* link) { link_ = link; }

    void Pause(int ms) override { clock_ += ms; }
    bool WriteCommData(const std::uint8_t* data, std::uint16_t length) override {
        const std::string frame(reinterpret_cast<const char*>(data), length);
        resend_ = frame == last_ && !answered_ ? resend_ + 1 : 0;
        last_ = frame;
        answered_ = false;
        if (link_ && link_->ReadStep() > 0)
            sink_.SequenceStep(SequenceKind::Download, link_->ReadStep());
        sink_.FrameSent(frame, resend_);
        pending_.push_back(frame);
        return true;
    }
    void SetReplyTimer(LinkTimer, bool enabled, int intervalMs) override {
        timerDue_ = enabled ? std::optional<qint64>(clock_ + intervalMs) : std::nullopt;
    }
    void RestartStalenessTimer() override {}
    void SetStatus(StatusLabel, const std::string& caption, StatusColour) override {
        if (caption == " Complete ")
            sink_.SequenceEnded(SequenceKind::Download, SequenceOutcome::Complete);
        else if (caption == " Error ")
            sink_.SequenceEnded(SequenceKind::Download, SequenceOutcome::Error);
    }
    void ShowVersion(const std::string&) override {}
    std::string LabelText(const std::string&) override { return {}; }
    void BlockToWindow() override {}

    // A batch from the unit: a lone whole frame is taken, anything more is dropped whole.
    void Deliver(const Bytes& reply) {
        clock_ += 5 + 50; // the unit's answer, then the receive gap
        const std::string batch(reply.begin(), reply.end());
        sink_.BatchReceived(batch);
        if (batch.size() == 3u + static_cast<std::uint8_t>(batch[2])) {
            answered_ = true;
            sink_.FrameDispatched(batch[1], batch);
        } else {
            sink_.Dropped(batch, DropReason::ExtraBytes);
        }
        link_->ReceiveString(batch);
    }

    std::vector<std::string> pending_;
    std::optional<qint64> timerDue_;

private:
    LinkEventSink& sink_;
    qint64& clock_;
    DeviceLink* link_ = nullptr;
    std::string last_;
    bool answered_ = false;
    int resend_ = 0;
};

// Two auto reads, then a download; the unit leaves its 4th request unanswered and sends its 6th reply
// with a stray byte after it.
void PlayDownload(LinkMonitorModel& monitor) {
    const qint64 start = QDateTime::currentMSecsSinceEpoch() - 12000;
    qint64 clock = 0;
    monitor.SetWallClock([&clock, start] { return start + clock; });
    Readings readings(7);
    SimUnit unit(Plant(), "QX-4 V2.10", std::move(readings));
    ConfigBlock block = Plant();
    DemoHost host(monitor, clock);
    DeviceLink link(block, host);
    host.SetLink(&link);
    int requests = 0;
    int replies = 0;
    const auto serve = [&] {
        while (!host.pending_.empty()) {
            const std::string request = host.pending_.front();
            host.pending_.erase(host.pending_.begin());
            if (++requests == 4)
                continue;
            auto reply = unit.Handle(Bytes(request.begin(), request.end()), clock / 1000.0);
            if (!reply)
                continue;
            if (++replies == 6)
                reply->push_back(0x00);
            host.Deliver(*reply);
        }
    };
    for (int i = 0; i < 2; ++i) {
        link.Timer2Timer(true);
        serve();
        clock += 1000 - 155;
    }
    link.Button13Click();
    serve();
    while (link.ReadStep() > 0 && host.timerDue_) {
        clock = *host.timerDue_;
        link.Timer4Timer();
        serve();
    }
    monitor.SetWallClock([] { return QDateTime::currentMSecsSinceEpoch(); });
    monitor.Flush();
}

} // namespace

} // namespace quellix

using namespace quellix;

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::cerr << "Usage: quellix_shots SHEET.pdf\n";
        return 2;
    }
    const QString sheet = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    // A scratch configuration and start-up directory: the user's own files stay untouched.
    QTemporaryDir config;
    QTemporaryDir startDir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QDir::setCurrent(startDir.path());

    TForm1 form(std::make_unique<ScriptedDialogs>(sheet));
    TForm2 form2;
    form.SetEditDialog(&form2);
    form.show();
    // The window centres itself when first shown; the monitor goes beside it.
    QCoreApplication::processEvents();
    form.move(10, 10);
    form.Block = Plant();
    const std::int16_t raw[] = {512, 488, 530, 671};
    for (int i = 0; i < 4; ++i) {
        form.Block.RawValue[i] = raw[i];
        form.Block.MeasuredValue[i] = CalibratedValue(form.Block.Calibration[i], raw[i]);
    }
    form.BlockToWindow(form.Block);
    form.findChild<QLabel*>(QStringLiteral("swVersion"))
        ->setText(QStringLiteral("Software version: QX-4 V2.10"));

    form.findChild<QAction*>(QStringLiteral("LinkMonitor1"))->trigger();
    auto* monitor = form.findChild<TLinkMonitorWindow*>(QStringLiteral("LinkMonitor"));
    monitor->setGeometry(470, 10, 960, 660);
    PlayDownload(monitor->Model());
    form.findChild<QAction*>(QStringLiteral("ExportPdf1"))->trigger();

    QTimer::singleShot(1500, &application, [] { std::cout << "ready" << std::endl; });
    QTimer::singleShot(6000, &application, [&form] { form.close(); });
    QTimer::singleShot(6500, &application, &QApplication::quit);
    return application.exec();
}
