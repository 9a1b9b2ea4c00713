// The Link Monitor's entries: each frame sent, each batch received (with what the receive assembly
// made of it), readings gone stale, and each sequence's start and end, as the link's listener tells
// them; newest last, the last 10,000 kept. New entries reach the views a little after they come, together,
// and words are made only for rows shown, copied or saved, so a burst of link traffic costs the window's
// thread little and the painting keeps clear of the moment a request is handed to the port.
#pragma once

#include "FrameWords.h"
#include "LinkListener.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quellix {

class LinkMonitorModel : public QAbstractTableModel, public LinkListener {
    Q_OBJECT
public:
    enum Column { TimeColumn, DirectionColumn, BytesColumn, MeaningColumn, ColumnCount };
    static constexpr int Capacity = 10000;
    // How long the views wait after the latest entry: a request goes out right after a reply is
    // handled, and the views' work must not compete with its sending for a core. At most
    // MaxFlushWaitMs after the first entry not yet shown.
    static constexpr int FlushDelayMs = 25;
    static constexpr int MaxFlushWaitMs = 250;
    // The channels' flag bytes as they stand, for the decimals of the values in calibration frames;
    // readings come with their own.
    using FlagsSource = std::function<ChannelFlagBytes()>;
    // Wall-clock milliseconds since the epoch.
    using WallClock = std::function<qint64()>;

    explicit LinkMonitorModel(FlagsSource flags, QObject* parent = nullptr);

    void FrameSent(std::string_view frame, int resend) override;
    void BatchReceived(std::string_view batch) override;
    void FrameDispatched(char letter, std::string_view frame) override;
    void LateReply(LinkSequence sequence, std::string_view frame) override;
    void Dropped(DropReason reason, std::string_view bytes) override;
    void ReadingsTaken(ChannelValues raw, ChannelValues displayed, ChannelFlagBytes flags) override;
    void ReadingsStale() override;
    void SequenceStep(LinkSequence sequence, int step, StepOutcome outcome) override;

    // While paused nothing is recorded; on resuming, one entry tells how many events were missed.
    void SetPaused(bool paused);
    bool Paused() const { return paused_; }
    void Clear();
    // Brings the rows up to date with every event so far; otherwise done at the next turn of the loop.
    void Flush();

    // Entries held, shown as rows or not yet.
    int EntryCount() const { return static_cast<int>(next_ - first_); }
    // A row as one line of text: time, direction, bytes and words, two blanks apart.
    QString RowText(int row) const;
    // Every entry held, one line each.
    QString AllText() const;
    // Writes AllText() as UTF-8, replacing the file only once it is complete.
    bool SaveText(const QString& path, QString* error) const;
    bool RowDropped(int row) const;

    void SetWallClock(WallClock clock) { clock_ = std::move(clock); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    enum class Kind : std::uint8_t { Sent, Received, Stale, SequenceStart, SequenceEnd, Missed };
    struct Entry {
        qint64 ms = 0;
        Kind kind = Kind::Sent;
        std::uint8_t resend = 0;
        bool dispatched = false;
        bool dropped = false;
        bool late = false; // a reply that moved no sequence on
        DropReason reason = DropReason::ExtraBytes;
        LinkSequence sequence = LinkSequence::Download;
        StepOutcome outcome = StepOutcome::Complete;
        int step = 0;
        std::array<std::uint8_t, ChannelCount> flags{};
        std::string bytes; // the frame sent or the batch received
        std::string frame; // the frame taken or the bytes dropped, where they are not `bytes`
        int missed = 0;
    };

    Entry& append(Kind kind);
    const Entry* entryAt(int row) const;
    // The open batch entry, if a frame or a drop may still be told of it.
    Entry* openBatch();
    void changed(std::uint64_t serial);
    void scheduleFlush();
    void takeFlags(Entry& e) const;
    QString words(const Entry& e) const;
    QString receivedWords(const Entry& e) const;
    QString lineText(const Entry& e) const;

    FlagsSource flags_;
    WallClock clock_;
    std::vector<Entry> ring_; // entry `serial` in slot serial % Capacity, allocated at the first entry
    std::uint64_t first_ = 0; // serials held: first_ .. next_ - 1
    std::uint64_t next_ = 0;
    std::uint64_t viewFirst_ = 0; // serials the views have as rows: viewFirst_ .. viewEnd_ - 1
    std::uint64_t viewEnd_ = 0;
    std::uint64_t openBatch_ = 0; // serial + 1 of the last batch received; 0 for none
    QTimer flushTimer_;
    QElapsedTimer waiting_; // since the first entry the views have not got
    bool paused_ = false;
    int missed_ = 0;
    bool stale_ = false; // readings gone stale, and none taken since
    int lastResend_ = 0; // of the last frame sent: a first step sent again is no new start
};

} // namespace quellix
