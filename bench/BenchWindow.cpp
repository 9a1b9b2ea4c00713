#include "BenchWindow.h"

#include "UserDialogs.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

namespace quellix {

namespace {

// Message boxes would wait for a user: each is written to standard error instead.
class QuietDialogs : public TUserDialogs {
public:
    explicit QuietDialogs(std::shared_ptr<bool> shown) : shown_(std::move(shown)) {}
    void ShowMessage(QWidget*, const QString& text, const QString& informative) override {
        *shown_ = true;
        std::fprintf(stderr, "message: %s %s\n", qPrintable(text), qPrintable(informative));
    }
    std::optional<QString> OpenFileName(QWidget*, const FileDialogRequest&) override { return {}; }
    std::optional<QString> SaveFileName(QWidget*, const FileDialogRequest&) override { return {}; }
    void ShowAbout(QWidget*, const QString&) override {}
    bool StartHelpViewer(const HelpViewer&) override { return false; }

private:
    std::shared_ptr<bool> shown_;
};

} // namespace

BenchWindow::BenchWindow(const QString& device) {
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
    QDir::setCurrent(start_.path());
    QFile state(config_.filePath(QStringLiteral("quellix.INI")));
    if (!device.isEmpty() && state.open(QIODevice::WriteOnly))
        state.write("[TForm1]\nCom_1_Checked=True\n[Ports]\nCOM1=" + QFile::encodeName(device) + "\n");
    state.close();
    form_ = std::make_unique<TForm1>(std::make_unique<QuietDialogs>(messageShown_));
    form2_ = std::make_unique<TForm2>();
    form_->SetEditDialog(form2_.get());
    form_->show();
}

BenchWindow::~BenchWindow() {
    form_->close();
    form_.reset();
    form2_.reset();
}

PaintWatch::PaintWatch(QLabel* label) : label_(label) {
    label_->installEventFilter(this);
}

void PaintWatch::Arm(std::function<bool(const QString&)> shown) {
    shown_ = std::move(shown);
    stamp_.reset();
}

std::optional<bench::Clock::time_point> PaintWatch::Wait(int limitMs) {
    if (!stamp_) {
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop_, &QEventLoop::quit);
        limit.start(limitMs);
        loop_.exec();
    }
    shown_ = nullptr;
    return stamp_;
}

bool PaintWatch::eventFilter(QObject* watched, QEvent* event) {
    if (watched == label_ && event->type() == QEvent::Paint && shown_ && !stamp_ && shown_(label_->text())) {
        stamp_ = bench::Clock::now();
        loop_.quit();
    }
    return QObject::eventFilter(watched, event);
}

BenchSim::BenchSim(const QString& program) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(program, {});
    if (process_.waitForReadyRead(10000))
        device_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    else
        std::fprintf(stderr, "quellix-sim did not start: %s\n", qPrintable(process_.errorString()));
}

BenchSim::~BenchSim() {
    process_.terminate();
    process_.waitForFinished(5000);
}

IdleCpu MeasureIdle(int seconds) {
    const auto cpuSeconds = [] {
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        const auto at = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
        return at(usage.ru_utime) + at(usage.ru_stime);
    };
    const double cpuBefore = cpuSeconds();
    const auto wallBefore = bench::Clock::now();
    Spin(seconds * 1000);
    return {cpuSeconds() - cpuBefore, bench::Ms(bench::Clock::now() - wallBefore) / 1000};
}

void Spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace quellix
