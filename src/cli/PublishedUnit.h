// One unit the publish command serves: its port, a link driver reading it as the window's Auto Read
// does, and its publisher. The configuration is downloaded when the port opens and again whenever the
// unit answers after a silence, so the readings carry the names and decimals it holds now; a unit
// that stops answering turns "offline" until it answers again. A port that cannot be opened, or whose
// device went away, is tried again every few seconds: one absent unit never stops the others.
#pragma once

#include "LinkDriver.h"
#include "Metrics.h"
#include "PortSession.h"
#include "PublishConfig.h"
#include "UnitPublisher.h"

#include <QObject>
#include <QTimer>
#include <bitset>
#include <memory>

namespace quellix {

class PublishedUnit : public QObject {
    Q_OBJECT
public:
    // How long a port that did not open, or a download left unanswered, waits before the next try.
    static constexpr int RetryMs = 5000;

    // `metrics` is the unit's entry and outlives it.
    PublishedUnit(const QString& id, const QString& device, const PublishConfig& config,
                  std::unique_ptr<ReadingQueue> queue, UnitMetrics& metrics, QObject* parent = nullptr);
    ~PublishedUnit() override;

    void start();
    // Stops reading, sends what it can of the queue within `graceMs` and lets the unit turn "offline";
    // finished() follows.
    void finish(int graceMs);

    const QString& id() const { return id_; }
    MqttClient& brokerConnection() { return publisher_.client(); }

Q_SIGNALS:
    // Something the operator should know: a port that does not open, a unit that stopped answering.
    void note(const QString& text);
    void finished();

private:
    // Which download steps stored their item: the link lets a 'T' reply, or a late reply to an earlier
    // request, move a download on without its item, and still ends it " Complete ".
    class StoredItems : public LinkListener {
    public:
        void ReplyStored(int step) override { stored_.set(static_cast<std::size_t>(step)); }
        void reset() { stored_.reset(); }
        bool whole() const;

    private:
        std::bitset<16> stored_;
    };

    void openPort();
    void download();
    void downloadEnded(StepOutcome outcome);
    void taken(const Reading& reading);
    void stale();
    void setOnline(bool online);
    UnitDescription description() const;

    QString id_;
    QString device_;
    UnitMetrics& metrics_;
    ConfigBlock block_;
    PortSession session_;
    LinkDriver driver_;
    LinkCounters counters_;
    StoredItems stored_;
    UnitPublisher publisher_;
    QTimer retry_;
    bool reading_ = false;     // the auto read runs
    bool answering_ = false;   // readings come
    bool downloadDue_ = false; // the configuration is read again at the next reply
    bool finishing_ = false;
    bool dropping_ = false; // the queue was full
    QString lastProblem_;
};

} // namespace quellix
