// One operation of the link with one unit (a configuration download, an upload, the version, the auto
// read) on a link driver of its own in Queued mode, so that many run side by side in one thread: its
// steps as they are sent, how it ended, and the message that says why it failed. A single-unit command
// waits for one in an event loop; the fleet runs one per unit at once.
#pragma once

#include "ConfigBlock.h"
#include "LinkDriver.h"

#include <QObject>
#include <QString>

#include <bitset>
#include <functional>
#include <memory>

namespace quellix {

class LinkPort;

class UnitOperation : public QObject {
public:
    enum class Result {
        Complete, // the sequence ended " Complete "; the version arrived
        NoAnswer, // a step stayed unanswered after its resends: " Error "
        Stopped,  // finish(Stopped): a stop signal, a count reached
        PortGone, // the port's device went away
    };

    // Replies are stored in `block`, which outlives the operation. `stopPending` is asked before each
    // request is written: while it is true, nothing more goes to the unit.
    UnitOperation(ConfigBlock& block, LinkPort* port, std::function<bool()> stopPending);
    ~UnitOperation() override;

    void addListener(LinkListener& listener) { driver_.addListener(listener); }
    // Told n of 13 as each request of a download or upload is first sent.
    void setStepHandler(std::function<void(int step)> handler) { stepHandler_ = std::move(handler); }
    // Told once, when the operation has ended, from the event loop (never from inside the link's own
    // events, so the handler may start the next operation or delete this one).
    void setEndHandler(std::function<void(Result)> handler) { endHandler_ = std::move(handler); }

    // Each begins from the event loop, so that a reply or a stop it causes finds its caller waiting.
    void startDownload();
    void startUpload();
    // The version request that opens a download, and no request after it, so that no reply is left on
    // its way when the port closes.
    void startVersion();
    void startAutoRead(int intervalMs);

    // Ends the operation now, if it runs: the driver lets go of everything under way.
    void finish(Result result);
    bool ended() const { return ended_; }
    Result result() const { return result_; }
    // The unit's version text, once its reply came.
    const QString& version() const { return version_; }

    // ExitDone when it completed (a download only with every item stored) or was stopped; otherwise the
    // exit status, with `message` naming `portLabel` and what went wrong.
    int status(const QString& portLabel, QString& message) const;

private:
    class Watcher;

    void begin(std::function<void(LinkDriver&)> start);

    LinkDriver driver_;
    std::unique_ptr<Watcher> watcher_;
    std::function<void(int)> stepHandler_;
    std::function<void(Result)> endHandler_;
    QString version_;
    bool versionOnly_ = false;
    bool wholeConfiguration_ = false;
    bool ended_ = false;
    Result result_ = Result::Complete;
};

} // namespace quellix
