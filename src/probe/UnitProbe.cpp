#include "UnitProbe.h"

#include "Charset.h"
#include "FrameAssembler.h"
#include "Frames.h"
#include "NetAddress.h"
#include "NetLinkPort.h"
#include "PortSession.h"
#include "ProbeTargets.h"

#include <QEventLoop>
#include <QTimer>

namespace quellix {

namespace {

// A network port connects while the others wait out the pause, and must have failed before the probe's
// reply time ends, so that it is told as not opened rather than as no answer.
constexpr NetConnection::Limits NetProbeLimits{.connect = std::chrono::milliseconds(1500),
                                               .negotiate = std::chrono::milliseconds(500)};
static_assert(NetProbeLimits.connect.count() + NetProbeLimits.negotiate.count() <
              PauseBeforeSendMs + ReplyTimeoutMs);

} // namespace

// A device opens through a session, as the window opens it; a network port on its own, without
// waiting, so that a server slow to answer holds neither the caller nor the other devices.
struct UnitProbe::Device {
    PortSession session;
    std::unique_ptr<NetLinkPort> net;
    FrameAssembler rx;
    bool open = false;

    LinkPort* port() const { return net ? net.get() : session.port(); }
    void stop() {
        if (net)
            net->close();
        else
            session.stop();
        open = false;
    }
};

UnitProbe::UnitProbe(QObject* parent) : QObject(parent) {}

UnitProbe::~UnitProbe() {
    cancel();
}

void UnitProbe::setSkipped(const QMap<QString, QString>& notes) {
    skipped_.clear();
    for (auto it = notes.begin(); it != notes.end(); ++it)
        skipped_.insert(deviceKey(root_, it.key()), it.value());
}

void UnitProbe::start(const QStringList& paths) {
    cancel();
    ++generation_;
    running_ = true;
    requestsSent_ = false;
    results_.clear();
    sameAs_.clear();
    devices_.clear();
    QMap<QString, int> first; // device key -> the index that probes it
    for (const QString& path : paths) {
        const int index = static_cast<int>(results_.size());
        results_.append(ProbeResult{path, ProbeResult::Outcome::Pending, {}, {}});
        const QString key = deviceKey(root_, path);
        sameAs_.push_back(first.value(key, index));
        devices_.push_back(nullptr);
        if (sameAs_.back() != index)
            continue;
        first.insert(key, index);
        if (skipped_.contains(key)) {
            decide(index, ProbeResult::Outcome::Skipped, skipped_.value(key));
            continue;
        }
        auto device = std::make_unique<Device>();
        if (IsNetPortName(path)) {
            startNet(index, *device, path);
            devices_[static_cast<std::size_t>(index)] = std::move(device);
            continue;
        }
        // Opened as the window opens its port, through the session, whose refusal carries the window's
        // diagnosis.
        device->session.setDeviceRoot(root_);
        if (!device->session.openDevice(path)) {
            decide(index, ProbeResult::Outcome::NotProbed, device->session.problem());
            continue;
        }
        device->open = true;
        connect(device->session.port(), &LinkPort::received, this,
                [this, index](const QByteArray& batch) { replyReceived(index, batch); });
        devices_[static_cast<std::size_t>(index)] = std::move(device);
    }
    const int generation = generation_;
    QTimer::singleShot(PauseBeforeSendMs, Qt::PreciseTimer, this, [this, generation] {
        if (generation == generation_)
            sendRequests();
    });
    checkFinished();
}

void UnitProbe::startNet(int index, Device& device, const QString& path) {
    device.net = std::make_unique<NetLinkPort>(path);
    device.net->setLimits(NetProbeLimits);
    connect(device.net.get(), &LinkPort::received, this,
            [this, index](const QByteArray& batch) { replyReceived(index, batch); });
    connect(device.net.get(), &LinkPort::openEnded, this,
            [this, index](bool open) { netOpened(index, open); });
    if (!device.net->startOpen())
        decide(index, ProbeResult::Outcome::NotProbed, device.net->failureText());
}

// A network port that opens after the requests went out is asked at once; the probe's time limit
// stays the same for it.
void UnitProbe::netOpened(int index, bool open) {
    Device* device = devices_[static_cast<std::size_t>(index)].get();
    if (!device || results_[index].outcome != ProbeResult::Outcome::Pending)
        return;
    if (!open) {
        decide(index, ProbeResult::Outcome::NotProbed, device->net->failureText());
        closeLater(index);
        return;
    }
    device->open = true;
    if (requestsSent_)
        sendRequest(*device);
}

void UnitProbe::sendRequest(Device& device) {
    const FrameBytes request = BuildCommand(Letter::VersionRequest);
    device.port()->write(reinterpret_cast<const char*>(request.data()),
                         static_cast<std::uint16_t>(request.size()));
}

void UnitProbe::sendRequests() {
    requestsSent_ = true;
    for (const auto& device : devices_)
        if (device && device->open)
            sendRequest(*device);
    const int generation = generation_;
    QTimer::singleShot(ReplyTimeoutMs, Qt::PreciseTimer, this, [this, generation] {
        if (generation == generation_)
            timeUp();
    });
}

// Frames as the link assembles them; the first version reply decides. Anything else (an echo of the
// request, noise) is no answer.
void UnitProbe::replyReceived(int index, const QByteArray& batch) {
    Device* device = devices_[static_cast<std::size_t>(index)].get();
    if (!device || !device->open || results_[index].outcome != ProbeResult::Outcome::Pending)
        return;
    QString version;
    bool answered = false;
    device->rx.Feed(
        std::string_view(batch.constData(), static_cast<std::size_t>(batch.size())),
        [&](std::string_view frame) {
            const FrameView reply(frame);
            if (reply.letter() != Letter::Version)
                return;
            answered = true;
            version = FromWin1252(BytesToText(reply.payload(), static_cast<int>(reply.payload().size())));
        },
        [](DropReason, std::string_view) {});
    if (!answered)
        return;
    decide(index, ProbeResult::Outcome::Unit, version);
    closeLater(index);
}

void UnitProbe::timeUp() {
    for (int i = 0; i < results_.size(); ++i)
        if (sameAs_[static_cast<std::size_t>(i)] == i &&
            results_[i].outcome == ProbeResult::Outcome::Pending) {
            decide(i, ProbeResult::Outcome::NoAnswer, {});
            closeLater(i);
        }
}

// Not from inside the port's own notification: stopping joins its workers.
void UnitProbe::closeLater(int index) {
    const int generation = generation_;
    QTimer::singleShot(0, this, [this, index, generation] {
        if (generation != generation_)
            return;
        if (Device* device = devices_[static_cast<std::size_t>(index)].get())
            device->stop();
        checkFinished();
    });
}

void UnitProbe::decide(int index, ProbeResult::Outcome outcome, const QString& text) {
    for (int i = 0; i < results_.size(); ++i) {
        if (sameAs_[static_cast<std::size_t>(i)] != index)
            continue;
        ProbeResult& result = results_[i];
        result.outcome = outcome;
        (outcome == ProbeResult::Outcome::Unit ? result.version : result.reason) = text;
        Q_EMIT resultReady(i);
    }
}

void UnitProbe::checkFinished() {
    if (!running_)
        return;
    for (const auto& device : devices_)
        if (device && device->open)
            return;
    for (const ProbeResult& result : results_)
        if (result.outcome == ProbeResult::Outcome::Pending)
            return;
    running_ = false;
    ++generation_;
    devices_.clear();
    Q_EMIT finished();
}

void UnitProbe::cancel() {
    ++generation_;
    for (const auto& device : devices_)
        if (device)
            device->stop();
    devices_.clear();
    running_ = false;
}

QList<ProbeResult> probeUnits(const QStringList& paths, const QMap<QString, QString>& skipped) {
    UnitProbe probe;
    probe.setSkipped(skipped);
    QEventLoop loop;
    QObject::connect(&probe, &UnitProbe::finished, &loop, &QEventLoop::quit);
    probe.start(paths);
    if (probe.isRunning())
        loop.exec();
    return probe.results();
}

} // namespace quellix
