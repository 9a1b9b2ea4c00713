#include "Metrics.h"

#include "ConfigBlock.h"
#include "UnitPublisher.h"

namespace quellix {

namespace {

constexpr std::array<std::pair<DropReason, const char*>, 4> Reasons{{
    {DropReason::ExtraBytes, "extra_bytes"},
    {DropReason::WaitingTooLong, "waiting_too_long"},
    {DropReason::NoStartByte, "no_start_byte"},
    {DropReason::ReplyTooShort, "reply_too_short"},
}};

// A label value as the format wants it: backslash, double quote and line feed escaped.
QByteArray Label(const QString& text) {
    QByteArray out;
    for (const char c : text.toUtf8()) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c == '\n' ? QByteArray("\\n") : QByteArray(1, c);
    }
    return out;
}

class Page {
public:
    void Family(const char* name, const char* type, const char* help) {
        name_ = name;
        text_ += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
    }
    void Sample(const QByteArray& labels, const QByteArray& value) {
        text_ += name_ + '{' + labels + "} " + value + '\n';
    }
    QByteArray Text() const { return text_; }

private:
    QByteArray name_;
    QByteArray text_;
};

QByteArray UnitLabel(const QString& id) {
    return "unit=\"" + Label(id) + '"';
}

QByteArray ChannelLabels(const QString& id, int channel) {
    return UnitLabel(id) + ",channel=\"" + QByteArray::number(channel) + '"';
}

void Readings(Page& page, const std::map<QString, UnitMetrics>& units) {
    page.Family("quellix_value", "gauge",
                "Displayed value of the channel in its units; absent while missing, stale or disabled.");
    for (const auto& [id, u] : units) {
        for (std::size_t i = 0; u.reading && !u.stale && i < 4; ++i) {
            const QByteArray value = DisplayedValueText(u.reading->shown[i], u.reading->flags[i]);
            const int channel = static_cast<int>(i) + 1;
            if (!value.isEmpty())
                page.Sample(ChannelLabels(id, channel) + ",tag=\"" + Label(u.names.Tag(channel)) +
                                "\",units=\"" + Label(u.names.units[i]) + '"',
                            value);
        }
    }
    page.Family("quellix_raw", "gauge", "Raw reading of the channel; absent while missing or stale.");
    for (const auto& [id, u] : units) {
        for (std::size_t i = 0; u.reading && !u.stale && i < 4; ++i) {
            const QByteArray raw = RawValueText(u.reading->raw[i]);
            if (!raw.isEmpty())
                page.Sample(ChannelLabels(id, static_cast<int>(i) + 1), raw);
        }
    }
    page.Family("quellix_stale", "gauge",
                "1 while the channel has no current reading: no reply for 5 s, or none for this channel.");
    for (const auto& [id, u] : units) {
        for (std::size_t i = 0; i < 4; ++i) {
            const bool missing = u.stale || !u.reading || u.reading->raw[i] == NoValue;
            page.Sample(ChannelLabels(id, static_cast<int>(i) + 1), missing ? "1" : "0");
        }
    }
}

void Units(Page& page, const std::map<QString, UnitMetrics>& units) {
    page.Family("quellix_up", "gauge", "1 while the unit answers.");
    for (const auto& [id, u] : units)
        page.Sample(UnitLabel(id), u.up ? "1" : "0");
    page.Family("quellix_resends_total", "counter", "Requests sent again for want of a reply.");
    for (const auto& [id, u] : units)
        page.Sample(UnitLabel(id), QByteArray::number(u.resends));
    page.Family("quellix_dropped_batches_total", "counter", "Received batches dropped, by reason.");
    for (const auto& [id, u] : units) {
        for (const auto& [reason, name] : Reasons)
            page.Sample(UnitLabel(id) + ",reason=\"" + name + '"',
                        QByteArray::number(u.droppedBatches[static_cast<std::size_t>(reason)]));
    }
}

void Queues(Page& page, const std::map<QString, UnitMetrics>& units) {
    page.Family("quellix_broker_connected", "gauge", "1 while the unit's connection to the broker is up.");
    for (const auto& [id, u] : units) {
        if (u.publisher)
            page.Sample(UnitLabel(id), u.publisher->connected() ? "1" : "0");
    }
    page.Family("quellix_queue_length", "gauge", "Readings queued for the broker.");
    for (const auto& [id, u] : units) {
        if (u.publisher)
            page.Sample(UnitLabel(id), QByteArray::number(u.publisher->queue().Length()));
    }
    page.Family("quellix_queue_dropped_readings_total", "counter",
                "Readings dropped from a full queue, oldest first, since the start.");
    for (const auto& [id, u] : units) {
        if (u.publisher)
            page.Sample(UnitLabel(id), QByteArray::number(u.publisher->queue().Dropped()));
    }
}

} // namespace

QByteArray PublishMetrics::Exposition() const {
    Page page;
    Readings(page, units_);
    Units(page, units_);
    Queues(page, units_);
    return page.Text();
}

void LinkCounters::FrameSent(std::string_view, int resend) {
    if (resend > 0)
        ++unit_.resends;
}

void LinkCounters::Dropped(DropReason reason, std::string_view) {
    ++unit_.droppedBatches[static_cast<std::size_t>(reason)];
}

} // namespace quellix
