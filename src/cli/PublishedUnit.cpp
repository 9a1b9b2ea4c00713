#include "PublishedUnit.h"

#include "DeviceLink.h"
#include "ReadingFormat.h"

#include <QDateTime>

#include <cstring>

namespace quellix {

namespace {

UnitTopics TopicsOf(const PublishConfig& config, const QString& id) {
    UnitTopics topics = config.topics;
    topics.unit = id;
    return topics;
}

} // namespace

PublishedUnit::PublishedUnit(const QString& id, const QString& device, const PublishConfig& config,
                             std::unique_ptr<ReadingQueue> queue, UnitMetrics& metrics, QObject* parent)
    : QObject(parent), id_(id), device_(device), metrics_(metrics), block_(DefaultBlock()),
      driver_(block_, LinkDriver::PauseMode::Queued), counters_(metrics),
      publisher_(config.broker, TopicsOf(config, id), config.discovery, std::move(queue)) {
    metrics_.publisher = &publisher_;
    driver_.addListener(counters_);
    driver_.addListener(stored_);
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, [this] { session_.isOpen() ? download() : openPort(); });
    connect(&session_, &PortSession::portChanged, &driver_, &LinkDriver::setPort);
    connect(&session_, &PortSession::hungUp, this, [this] {
        Q_EMIT note(QStringLiteral("%1: %2 went away").arg(id_, device_));
        stale();
    });
    // The session opens the device again when its path comes back; a failed reopening is retried here.
    connect(&session_, &PortSession::reopened, this, [this](bool open) {
        if (open)
            download();
        else
            retry_.start(RetryMs);
    });
    connect(&driver_, &LinkDriver::sequenceEnded, this, [this](LinkSequence sequence, StepOutcome outcome) {
        if (sequence == LinkSequence::Download)
            downloadEnded(outcome);
    });
    connect(&driver_, &LinkDriver::readingTaken, this, &PublishedUnit::taken);
    connect(&driver_, &LinkDriver::readingsStale, this, &PublishedUnit::stale);
    connect(&publisher_, &UnitPublisher::errorOccurred, this, &PublishedUnit::note);
    connect(&publisher_, &UnitPublisher::finished, this, &PublishedUnit::finished);
}

PublishedUnit::~PublishedUnit() {
    driver_.removeListener(counters_);
    driver_.removeListener(stored_);
    metrics_.publisher = nullptr;
}

void PublishedUnit::start() {
    publisher_.start();
    openPort();
}

void PublishedUnit::finish(int graceMs) {
    if (std::exchange(finishing_, true))
        return;
    retry_.stop();
    driver_.abort();
    session_.stop();
    publisher_.finish(graceMs);
}

bool PublishedUnit::StoredItems::whole() const {
    for (std::size_t step = 0; step < stored_.size(); ++step) {
        if (!downloadRequest(static_cast<int>(step)).empty() && !stored_.test(step))
            return false;
    }
    return true;
}

void PublishedUnit::openPort() {
    if (finishing_)
        return;
    if (session_.openDevice(device_)) {
        lastProblem_.clear();
        download();
        return;
    }
    // Said once, not every few seconds while it lasts.
    if (session_.problem() != std::exchange(lastProblem_, session_.problem()))
        Q_EMIT note(
            QStringLiteral("%1: %2 (trying again every %3 s)").arg(id_, lastProblem_).arg(RetryMs / 1000));
    setOnline(false);
    retry_.start(RetryMs);
}

void PublishedUnit::download() {
    if (finishing_ || !session_.isOpen())
        return;
    downloadDue_ = false;
    stored_.reset();
    driver_.startDownload();
}

void PublishedUnit::downloadEnded(StepOutcome outcome) {
    if (finishing_ || outcome == StepOutcome::Aborted)
        return;
    // A configuration with an item missing would name the readings and Home Assistant's sensors after
    // the defaults: the last whole one stays, and the unit is read again.
    if (outcome != StepOutcome::Complete || !stored_.whole()) {
        if (!answering_)
            setOnline(false);
        const QString problem = outcome == StepOutcome::Complete
                                    ? QStringLiteral("the configuration came without some of its items")
                                    : QStringLiteral("the unit on %1 does not answer").arg(device_);
        if (problem != std::exchange(lastProblem_, problem))
            Q_EMIT note(
                QStringLiteral("%1: %2 (reading it again every %3 s)").arg(id_, problem).arg(RetryMs / 1000));
        downloadDue_ = true;
        retry_.start(RetryMs);
        return;
    }
    lastProblem_.clear();
    metrics_.names = ChannelNames::FromBlock(block_);
    publisher_.describe(description());
    if (!std::exchange(reading_, true)) {
        driver_.setAutoRead(true);
        driver_.startReadoutTimers();
    }
    setOnline(true);
}

void PublishedUnit::taken(const Reading& reading) {
    if (finishing_)
        return;
    answering_ = true;
    metrics_.reading = reading;
    metrics_.stale = false;
    publisher_.takeReading(reading, false);
    // Said once: from now on the queue gives up its oldest reading for each new one.
    if (publisher_.queue().Dropped() > 0 && !std::exchange(dropping_, true))
        Q_EMIT note(QStringLiteral("%1: the queue is full (%2 readings); the oldest give way to new ones")
                        .arg(id_)
                        .arg(publisher_.queue().Capacity()));
    setOnline(true);
    // The unit may have been replaced or reconfigured while it was silent.
    if (downloadDue_ && !retry_.isActive())
        download();
}

void PublishedUnit::stale() {
    if (finishing_ || !std::exchange(answering_, false))
        return;
    Q_EMIT note(QStringLiteral("%1: no readings for 5 seconds").arg(id_));
    Reading missing;
    missing.msecsSinceEpoch = QDateTime::currentMSecsSinceEpoch();
    missing.raw.fill(NoValue);
    missing.shown.fill(NoValue);
    std::copy(std::begin(block_.ChannelFlags), std::end(block_.ChannelFlags), missing.flags.begin());
    metrics_.reading = missing;
    metrics_.stale = true;
    publisher_.takeReading(missing, true);
    setOnline(false);
    downloadDue_ = true;
}

void PublishedUnit::setOnline(bool online) {
    metrics_.up = online;
    publisher_.setUnitOnline(online);
}

UnitDescription PublishedUnit::description() const {
    UnitDescription unit;
    unit.names = metrics_.names;
    std::copy(std::begin(block_.ChannelFlags), std::end(block_.ChannelFlags), unit.flags.begin());
    unit.version = driver_.version();
    if (unit.version.startsWith(QLatin1String(SoftwareVersionPrefix)))
        unit.version.remove(0, static_cast<qsizetype>(std::strlen(SoftwareVersionPrefix)));
    return unit;
}

} // namespace quellix
