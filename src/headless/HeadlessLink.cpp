#include "HeadlessLink.h"

#include "Charset.h"
#include "ComPort.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <string_view>

namespace quellix {

namespace {

// The label an upload reads a text from, as the window names it, and the block field it shows.
std::string_view LabelField(const ConfigBlock& block, std::string_view name) {
    if (name == "Header_1")
        return block.Header1.text();
    if (name == "Header_2")
        return block.Header2.text();
    for (int n = 1; n <= ChannelCount; ++n) {
        const std::string digit(1, static_cast<char>('0' + n));
        if (name == "Tag_" + digit)
            return block.TagName[n - 1].text();
        if (name == "Units_" + digit)
            return block.UnitName[n - 1].text();
    }
    return {};
}

} // namespace

HeadlessLink::HeadlessLink(TComPort& port, ConfigBlock& block, QObject* parent)
    : QObject(parent), port_(port), block_(block), link_(block, *this), timer1_(makeTimer(false)),
      timer2_(makeTimer(false)), timer3_(makeTimer(false)), timer4_(makeTimer(false)) {
    connect(timer1_, &QTimer::timeout, this, [this] { link_.Timer1Timer(); });
    connect(timer2_, &QTimer::timeout, this, [this] { link_.Timer2Timer(true); });
    connect(timer3_, &QTimer::timeout, this, [this] { link_.Timer3Timer(); });
    connect(timer4_, &QTimer::timeout, this, [this] { link_.Timer4Timer(); });
    port_.OnReceiveString = [this](const QByteArray& s) {
        link_.ReceiveString(std::string_view(s.constData(), static_cast<std::size_t>(s.size())));
    };
    link_.AddListener(*this);
}

HeadlessLink::~HeadlessLink() {
    port_.OnReceiveString = nullptr;
    link_.RemoveListener(*this);
}

// Precise: a coarse timer may fire a reply timeout up to 5 % early or late.
QTimer* HeadlessLink::makeTimer(bool singleShot) {
    auto* timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(singleShot);
    return timer;
}

HeadlessLink::Result HeadlessLink::download() {
    return run([this] { link_.Button13Click(); });
}

HeadlessLink::Result HeadlessLink::upload() {
    return run([this] { link_.Button14Click(); });
}

HeadlessLink::Result HeadlessLink::requestVersion(QString& version) {
    wantVersion_ = true;
    version_.clear();
    const Result result = run([this] { link_.Button13Click(); });
    wantVersion_ = false;
    link_.AbortSequences();
    holding_ = false;
    version = version_;
    return result;
}

HeadlessLink::Result HeadlessLink::autoRead(int intervalMs) {
    const Result result = run([this, intervalMs] {
        timer3_->setInterval(StalenessIntervalMs);
        timer3_->start();
        timer2_->setInterval(intervalMs);
        timer2_->start();
    });
    timer2_->stop();
    timer3_->stop();
    return result;
}

void HeadlessLink::stop() {
    stopRequested_ = true;
    finish(Result::Stopped);
}

void HeadlessLink::portGone() {
    finish(Result::PortGone);
}

// One operation at a time: the caller waits in it, and the signals that end it arrive through the loop.
HeadlessLink::Result HeadlessLink::run(const std::function<void()>& start) {
    if (stopRequested_)
        return Result::Stopped;
    QEventLoop loop;
    loop_ = &loop;
    result_ = Result::Complete;
    // Started from the loop, so that a reply or a stop it causes finds the loop running; not at all
    // when a stop came first.
    const int run = ++runs_;
    QTimer::singleShot(0, this, [this, run, start] {
        if (loop_ && runs_ == run)
            start();
    });
    loop.exec();
    loop_ = nullptr;
    return result_;
}

void HeadlessLink::finish(Result result) {
    if (!loop_)
        return;
    if (result == Result::Stopped || result == Result::PortGone)
        link_.AbortSequences();
    result_ = result;
    loop_->quit();
    loop_ = nullptr;
}

// The listener hears of a reply before the link moves on: the moment to hold back what follows it.
void HeadlessLink::FrameDispatched(char letter, std::string_view) {
    if (wantVersion_ && letter == Letter::Version)
        holding_ = true;
}

void HeadlessLink::SequenceStep(LinkSequence, int step, StepOutcome outcome) {
    switch (outcome) {
    case StepOutcome::Requested:
    case StepOutcome::Aborted:
        break;
    case StepOutcome::Complete:
        finish(Result::Complete);
        break;
    case StepOutcome::Error:
        failedStep_ = step;
        finish(Result::NoAnswer);
        break;
    }
}

// A blocking sleep, as the window's: nothing else is handled meanwhile.
void HeadlessLink::Pause(int ms) {
    if (holding_)
        return;
    QThread::msleep(static_cast<unsigned long>(ms));
}

bool HeadlessLink::WriteCommData(const std::uint8_t* data, std::uint16_t length) {
    if (!holding_ && stopPending_ && stopPending_())
        holding_ = true;
    if (holding_)
        return false;
    return port_.WriteCommData(reinterpret_cast<const char*>(data), length);
}

void HeadlessLink::SetReplyTimer(LinkTimer which, bool enabled, int intervalMs) {
    QTimer* timer = which == LinkTimer::Timer1 ? timer1_ : timer4_;
    timer->stop();
    timer->setInterval(intervalMs);
    if (enabled)
        timer->start();
}

void HeadlessLink::RestartStalenessTimer() {
    timer3_->stop();
    timer3_->setInterval(StalenessIntervalMs);
    timer3_->start();
}

void HeadlessLink::SetStatus(StatusLabel, const std::string&, StatusColour) {}

void HeadlessLink::ShowVersion(const std::string& caption) {
    if (!wantVersion_)
        return;
    version_ = FromWin1252(std::string_view(caption).substr(std::string_view(SoftwareVersionPrefix).size()));
    finish(Result::Complete);
}

// What the window's label shows for the block, turned back into bytes as the window does: the same
// text, byte for byte, that "Send to unit" would take from it.
std::string HeadlessLink::LabelText(const std::string& objectName) {
    return ToWin1252(FromWin1252(LabelField(block_, objectName)));
}

} // namespace quellix
