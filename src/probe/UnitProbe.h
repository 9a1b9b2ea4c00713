// Which serial devices the unit answers on: each device opened as the serial component opens it (the
// unit's line settings, an exclusive lock), or a network port as its connection opens it, sent exactly
// one version request (01 76 00) and watched for the unit's version reply. All devices are probed at once, so
// a probe ends within ProbeTimeLimitMs however many there are. A device that is not the unit receives those
// three bytes and nothing else.
#pragma once

#include "LinkHost.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace quellix {

// The request goes out after the link's pause, and a device that has not answered the link's reply
// time later is taken to have no unit: together well under this limit.
inline constexpr int ProbeTimeLimitMs = 2500;
static_assert(PauseBeforeSendMs + ReplyTimeoutMs < ProbeTimeLimitMs);

struct ProbeResult {
    enum class Outcome {
        Pending,   // still being probed
        Unit,      // the unit answered: `version`
        NoAnswer,  // opened and asked, no version reply came
        NotProbed, // could not be opened: `reason`
        Skipped,   // left alone as the caller asked: `reason` is the caller's note
    };
    QString path; // as given
    Outcome outcome = Outcome::Pending;
    QString version; // the unit's version text, as the window shows it after "Software version: "
    QString reason;  // why it could not be opened, naming the path (the window's diagnosis: no
                     // permission and the group to join, in use by which program, not a serial device)
};

class UnitProbe : public QObject {
    Q_OBJECT
public:
    explicit UnitProbe(QObject* parent = nullptr);
    // Stops every port still open.
    ~UnitProbe() override;

    // Where /dev, /sys and /proc are found; empty (the default) is the machine's own root. Paths given
    // and reported are always as the machine names them; tests hand in a scratch tree.
    void setDeviceRoot(const QString& rootPrefix) { root_ = rootPrefix; }

    // Devices not to open, each with the note to report for it (the window passes its own port as
    // "open here"). A link, such as a by-id name, counts as the device it leads to. Set the root first.
    void setSkipped(const QMap<QString, QString>& notes);

    // Probes `paths` and returns at once; needs the caller's event loop. resultReady tells each path's
    // result as it is decided (those that cannot be opened or are skipped already during the call),
    // finished follows the last. The same device given twice is opened once and reported for both.
    void start(const QStringList& paths);
    // Stops every port still open; their results stay Pending and finished is not emitted.
    void cancel();
    bool isRunning() const { return running_; }

    // One per path given, in that order.
    const QList<ProbeResult>& results() const { return results_; }

Q_SIGNALS:
    void resultReady(int index);
    void finished();

private:
    struct Device;

    void decide(int index, ProbeResult::Outcome outcome, const QString& text);
    void startNet(int index, Device& device, const QString& path);
    void netOpened(int index, bool open);
    void sendRequest(Device& device);
    void sendRequests();
    void replyReceived(int index, const QByteArray& batch);
    void timeUp();
    void closeLater(int index);
    void checkFinished();

    QString root_;
    QMap<QString, QString> skipped_; // by the device the path leads to
    QList<ProbeResult> results_;
    std::vector<int> sameAs_; // for each path, the index whose device it shares, or its own
    std::vector<std::unique_ptr<Device>> devices_;
    bool running_ = false;
    bool requestsSent_ = false; // a network port that opens later is asked at once
    int generation_ = 0;        // timers of a probe cancelled or done find a newer one
};

// Runs a probe to its end in an event loop of its own, for callers without one running.
QList<ProbeResult> probeUnits(const QStringList& paths, const QMap<QString, QString>& skipped = {});

} // namespace quellix
