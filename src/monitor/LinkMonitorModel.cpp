#include "LinkMonitorModel.h"

#include "AtomicSave.h"

#include <QColor>
#include <QDateTime>
#include <QFontDatabase>
#include <QStringList>

#include <algorithm>
#include <utility>

namespace quellix {

namespace {

const QColor DroppedColour{192, 0, 0};

int firstStep(LinkSequence sequence) {
    return sequence == LinkSequence::Download ? 2 : 1;
}

} // namespace

LinkMonitorModel::LinkMonitorModel(FlagsSource flags, QObject* parent)
    : QAbstractTableModel(parent), flags_(std::move(flags)),
      clock_([] { return QDateTime::currentMSecsSinceEpoch(); }) {
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(FlushDelayMs);
    connect(&flushTimer_, &QTimer::timeout, this, [this] { Flush(); });
}

LinkMonitorModel::Entry& LinkMonitorModel::append(Kind kind) {
    if (ring_.empty())
        ring_.resize(Capacity);
    if (next_ - first_ == Capacity)
        ++first_;
    Entry& e = ring_[next_ % Capacity];
    e = Entry{};
    e.ms = clock_();
    e.kind = kind;
    ++next_;
    scheduleFlush();
    return e;
}

// Each entry puts the flush off again, so that it comes in the quiet after the link's work, but a
// steady stream of entries still reaches the views every so often.
void LinkMonitorModel::scheduleFlush() {
    if (!flushTimer_.isActive())
        waiting_.start();
    if (waiting_.elapsed() < MaxFlushWaitMs)
        flushTimer_.start();
}

void LinkMonitorModel::Flush() {
    flushTimer_.stop();
    // Rows whose entries the ring has given up since the last flush go first.
    if (viewFirst_ < first_ && viewFirst_ < viewEnd_) {
        const std::uint64_t gone = std::min(first_, viewEnd_) - viewFirst_;
        beginRemoveRows({}, 0, static_cast<int>(gone) - 1);
        viewFirst_ += gone;
        endRemoveRows();
    }
    if (viewFirst_ == viewEnd_)
        viewFirst_ = viewEnd_ = std::max(viewEnd_, first_);
    if (viewEnd_ < next_) {
        const int rows = static_cast<int>(viewEnd_ - viewFirst_);
        beginInsertRows({}, rows, rows + static_cast<int>(next_ - viewEnd_) - 1);
        viewEnd_ = next_;
        endInsertRows();
    }
}

void LinkMonitorModel::changed(std::uint64_t serial) {
    if (serial < viewFirst_ || serial >= viewEnd_)
        return;
    const int row = static_cast<int>(serial - viewFirst_);
    Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

LinkMonitorModel::Entry* LinkMonitorModel::openBatch() {
    if (openBatch_ == 0 || openBatch_ - 1 < first_)
        return nullptr;
    return &ring_[(openBatch_ - 1) % Capacity];
}

void LinkMonitorModel::takeFlags(Entry& e) const {
    if (flags_) {
        const ChannelFlagBytes now = flags_();
        std::copy(now.begin(), now.end(), e.flags.begin());
    }
}

void LinkMonitorModel::FrameSent(std::string_view frame, int resend) {
    lastResend_ = resend;
    if (paused_) {
        ++missed_;
        return;
    }
    Entry& e = append(Kind::Sent);
    e.bytes.assign(frame);
    e.resend = static_cast<std::uint8_t>(std::clamp(resend, 0, 255));
    takeFlags(e);
}

void LinkMonitorModel::BatchReceived(std::string_view batch) {
    if (paused_) {
        ++missed_;
        openBatch_ = 0;
        return;
    }
    Entry& e = append(Kind::Received);
    e.bytes.assign(batch);
    takeFlags(e);
    openBatch_ = next_;
}

void LinkMonitorModel::FrameDispatched(char, std::string_view frame) {
    if (paused_)
        return;
    Entry* e = openBatch();
    if (!e || e->dispatched || e->dropped) {
        // Not from a batch told of: an entry of its own.
        e = &append(Kind::Received);
        e->bytes.assign(frame);
        openBatch_ = next_;
    } else if (frame != e->bytes) {
        e->frame.assign(frame);
    }
    e->dispatched = true;
    takeFlags(*e);
    changed(openBatch_ - 1);
}

// Told right after the frame it marks.
void LinkMonitorModel::LateReply(LinkSequence, std::string_view) {
    Entry* e = paused_ ? nullptr : openBatch();
    if (!e || !e->dispatched)
        return;
    e->late = true;
    changed(openBatch_ - 1);
}

void LinkMonitorModel::Dropped(DropReason reason, std::string_view bytes) {
    if (paused_)
        return;
    // After its frame was taken, a batch can only be dropped as a reply too short to use.
    Entry* e = openBatch();
    if (!e || e->dropped || (e->dispatched && reason != DropReason::ReplyTooShort)) {
        e = &append(Kind::Received);
        e->bytes.assign(bytes);
        takeFlags(*e);
        openBatch_ = next_;
    } else if (bytes != e->bytes) {
        // With bytes of earlier batches that waited for this one.
        e->frame.assign(bytes);
    }
    e->dropped = true;
    e->reason = reason;
    changed(openBatch_ - 1);
}

// The readings' frame was told just before; its displayed values take the decimals stored with them.
void LinkMonitorModel::ReadingsTaken(ChannelValues, ChannelValues, ChannelFlagBytes flags) {
    stale_ = false;
    Entry* e = paused_ ? nullptr : openBatch();
    if (!e || !e->dispatched)
        return;
    std::copy(flags.begin(), flags.end(), e->flags.begin());
    changed(openBatch_ - 1);
}

// The link tells it every 5 s without readings; the list tells it once until readings come again.
void LinkMonitorModel::ReadingsStale() {
    if (std::exchange(stale_, true))
        return;
    if (paused_) {
        ++missed_;
        return;
    }
    append(Kind::Stale);
}

void LinkMonitorModel::SequenceStep(LinkSequence sequence, int step, StepOutcome outcome) {
    const bool start = outcome == StepOutcome::Requested && step == firstStep(sequence) && lastResend_ == 0;
    if (outcome == StepOutcome::Requested && !start)
        return;
    if (paused_) {
        ++missed_;
        return;
    }
    Entry& e = append(start ? Kind::SequenceStart : Kind::SequenceEnd);
    e.sequence = sequence;
    e.step = step;
    e.outcome = outcome;
}

void LinkMonitorModel::SetPaused(bool paused) {
    if (paused == paused_)
        return;
    paused_ = paused;
    if (!paused_ && missed_ > 0) {
        append(Kind::Missed).missed = missed_;
        missed_ = 0;
    }
}

void LinkMonitorModel::Clear() {
    beginResetModel();
    ring_.clear();
    ring_.shrink_to_fit();
    first_ = viewFirst_ = viewEnd_ = next_;
    openBatch_ = 0;
    stale_ = false;
    endResetModel();
}

const LinkMonitorModel::Entry* LinkMonitorModel::entryAt(int row) const {
    if (row < 0)
        return nullptr;
    const std::uint64_t serial = viewFirst_ + static_cast<std::uint64_t>(row);
    // A row whose entry the ring gave up stays until the next flush, empty.
    if (serial < first_ || serial >= viewEnd_)
        return nullptr;
    return &ring_[serial % Capacity];
}

QString LinkMonitorModel::receivedWords(const Entry& e) const {
    const std::string& frame = e.frame.empty() ? e.bytes : e.frame;
    if (e.dropped) {
        if (e.reason == DropReason::ReplyTooShort)
            return QStringLiteral("dropped: ") + FrameWords(frame, LinkDirection::FromUnit, e.flags);
        QString words = QStringLiteral("dropped %1 bytes: ").arg(frame.size()) + DropWords(e.reason);
        // What was lost: the whole frame at the front, and what came after it.
        const std::size_t first =
            frame.size() >= 3 ? 3u + static_cast<std::uint8_t>(frame[2]) : frame.size() + 1;
        if (e.reason == DropReason::ExtraBytes && first < frame.size())
            words += QStringLiteral(" (") +
                     FrameWords(frame.substr(0, first), LinkDirection::FromUnit, e.flags) +
                     QStringLiteral(", then %1 more)").arg(frame.size() - first);
        return words;
    }
    if (!e.dispatched)
        return QStringLiteral("part of a frame, waiting for the rest");
    QString words = FrameWords(frame, LinkDirection::FromUnit, e.flags);
    if (e.late)
        words += QStringLiteral(" (") + LateWords(frame) + u')';
    return e.frame.empty() ? words : QStringLiteral("end of a frame: ") + words;
}

QString LinkMonitorModel::words(const Entry& e) const {
    switch (e.kind) {
    case Kind::Sent: {
        const QString words = FrameWords(e.bytes, LinkDirection::ToUnit, e.flags);
        return e.resend > 0 ? words + QStringLiteral(" (") + ResendWords(e.resend) + u')' : words;
    }
    case Kind::Received:
        return receivedWords(e);
    case Kind::Stale:
        return QStringLiteral("readings stale: no reply for 5 s, all shown as ---");
    case Kind::SequenceStart:
    case Kind::SequenceEnd:
        return SequenceWords(e.sequence, e.step, e.outcome);
    case Kind::Missed:
        return QStringLiteral("paused: %1 events not recorded").arg(e.missed);
    }
    return {};
}

namespace {

QString timeText(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss.zzz"));
}

} // namespace

QString LinkMonitorModel::lineText(const Entry& e) const {
    QStringList cells{timeText(e.ms)};
    cells << (e.kind == Kind::Sent       ? QStringLiteral("\u2192")
              : e.kind == Kind::Received ? QStringLiteral("\u2190")
                                         : QStringLiteral(" "));
    if (!e.bytes.empty())
        cells << HexText(e.bytes);
    cells << words(e);
    return cells.join(QStringLiteral("  "));
}

QString LinkMonitorModel::RowText(int row) const {
    const Entry* e = entryAt(row);
    return e ? lineText(*e) : QString();
}

QString LinkMonitorModel::AllText() const {
    QString text;
    for (std::uint64_t serial = first_; serial < next_; ++serial)
        text += lineText(ring_[serial % Capacity]) + u'\n';
    return text;
}

bool LinkMonitorModel::SaveText(const QString& path, QString* error) const {
    return SaveFileAtomically(path, AllText().toUtf8(), {}, error);
}

bool LinkMonitorModel::RowDropped(int row) const {
    const Entry* e = entryAt(row);
    return e && e->dropped;
}

int LinkMonitorModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(viewEnd_ - viewFirst_);
}

int LinkMonitorModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LinkMonitorModel::data(const QModelIndex& index, int role) const {
    const Entry* e = index.isValid() ? entryAt(index.row()) : nullptr;
    if (!e)
        return {};
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (column == TimeColumn)
            return role == Qt::DisplayRole ? timeText(e->ms) : QVariant();
        if (column == DirectionColumn)
            return e->kind == Kind::Sent       ? QStringLiteral("\u2192 unit")
                   : e->kind == Kind::Received ? QStringLiteral("\u2190 unit")
                                               : QString();
        if (column == BytesColumn)
            return HexText(e->bytes);
        return words(*e);
    case Qt::ForegroundRole:
        if (e->dropped || (e->kind == Kind::SequenceEnd && e->outcome != StepOutcome::Complete))
            return DroppedColour;
        return {};
    case Qt::FontRole:
        if (column == BytesColumn)
            return QFontDatabase::systemFont(QFontDatabase::FixedFont);
        return {};
    default:
        return {};
    }
}

QVariant LinkMonitorModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case TimeColumn:
        return QStringLiteral("Time");
    case DirectionColumn:
        return QStringLiteral("Direction");
    case BytesColumn:
        return QStringLiteral("Bytes");
    case MeaningColumn:
        return QStringLiteral("Meaning");
    default:
        return {};
    }
}

} // namespace quellix
