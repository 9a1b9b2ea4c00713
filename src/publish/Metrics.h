// What the publisher shows Prometheus, in its text exposition format: per unit and channel the
// displayed value, raw value and staleness, the unit's up state, its link's resends and dropped batches
// by reason, and its queue's length and dropped readings.
#pragma once

#include "LinkListener.h"
#include "ReadingFormat.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <map>
#include <optional>

namespace quellix {

class UnitPublisher;

struct UnitMetrics {
    bool up = false;
    std::optional<Reading> reading; // the last one taken
    bool stale = true;
    ChannelNames names;
    std::int64_t resends = 0;
    std::array<std::int64_t, 4> droppedBatches{}; // by DropReason
    const UnitPublisher* publisher = nullptr;     // its queue and connection, where there is one
};

class PublishMetrics {
public:
    // The unit's entry, made on first use; units are shown in the order of their ids.
    UnitMetrics& unit(const QString& id) { return units_[id]; }
    // The whole /metrics page.
    QByteArray Exposition() const;

private:
    std::map<QString, UnitMetrics> units_;
};

// Counts what a unit's link does for its metrics: requests sent again and batches dropped, by reason.
class LinkCounters : public LinkListener {
public:
    explicit LinkCounters(UnitMetrics& unit) : unit_(unit) {}
    void FrameSent(std::string_view frame, int resend) override;
    void Dropped(DropReason reason, std::string_view bytes) override;

private:
    UnitMetrics& unit_;
};

} // namespace quellix
