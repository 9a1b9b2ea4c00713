#include "ConfigCompare.h"

#include "Charset.h"
#include "ConfigFields.h"
#include "ConfigView.h"

#include <cstring>

namespace quellix {

namespace {

// "channel2.point1.value": the keys of the text form joined.
QString path(const QString& parent, const char* key) {
    return parent + u'.' + QLatin1String(key);
}

class Comparison {
public:
    Comparison(CompareScope scope) : scope_(scope) {}

    void field(const QString& name, const QString& a, const QString& b, bool text = false) {
        if (a != b)
            differences.push_back({name, a, b, text});
    }

    template <std::size_t N>
    void text(const QString& name, const ShortString<N>& a, const ShortString<N>& b) {
        field(name, unitText(ShortStringToText(a)), unitText(ShortStringToText(b)), true);
    }

    template <std::size_t N>
    void rest(const QString& name, const ShortString<N>& a, const ShortString<N>& b) {
        if ((a.Length > N || b.Length > N) && a.Length != b.Length)
            differences.push_back(
                {path(name, ConfigKey::Length), QString::number(a.Length), QString::number(b.Length)});
        field(path(name, ConfigKey::After), after(a), after(b));
    }

    std::vector<FieldDifference> differences;

private:
    QString unitText(const QString& text) const {
        return scope_ == CompareScope::UnitHeld && text.isEmpty() ? QStringLiteral(" ") : text;
    }
    template <std::size_t N> static QString after(const ShortString<N>& s) {
        const std::size_t used = s.text().size();
        return QByteArray(s.Chars + used, qsizetype(N - used)).toHex(' ').toUpper();
    }

    CompareScope scope_;
};

QString flagsText(std::uint8_t flags) {
    return QStringLiteral("0x") + QString::number(flags, 16).rightJustified(2, u'0').toUpper();
}

QString mark(bool on) {
    return on ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

std::vector<FieldDifference> CompareConfigs(const ConfigBlock& a, const ConfigBlock& b, CompareScope scope) {
    namespace Key = ConfigKey;
    Comparison c(scope);
    c.text(QLatin1String(Key::Header1), a.Header1, b.Header1);
    c.text(QLatin1String(Key::Header2), a.Header2, b.Header2);
    for (int i = 0; i < ChannelCount; ++i) {
        const QString ch = QLatin1String(ChannelKeys[std::size_t(i)]);
        const std::uint8_t fa = a.ChannelFlags[i];
        const std::uint8_t fb = b.ChannelFlags[i];
        c.text(path(ch, Key::Tag), a.TagName[i], b.TagName[i]);
        c.text(path(ch, Key::Units), a.UnitName[i], b.UnitName[i]);
        c.field(path(ch, Key::Decimals), QString::number(fa & FlagDecimalsMask),
                QString::number(fb & FlagDecimalsMask));
        c.field(path(ch, Key::Disabled), mark(fa & FlagDisabled), mark(fb & FlagDisabled));
        if ((fa ^ fb) & ~(FlagDecimalsMask | FlagDisabled))
            c.field(path(ch, Key::Flags), flagsText(fa), flagsText(fb));
        const ChannelCalibration& ca = a.Calibration[i];
        const ChannelCalibration& cb = b.Calibration[i];
        const QString point1 = path(ch, Key::Point1);
        const QString point2 = path(ch, Key::Point2);
        c.field(path(point1, Key::Raw), PlainValueText(ca.Measured1, 0), PlainValueText(cb.Measured1, 0));
        c.field(path(point1, Key::Value), PlainValueText(ca.Calib1, fa), PlainValueText(cb.Calib1, fb));
        c.field(path(point2, Key::Raw), PlainValueText(ca.Measured2, 0), PlainValueText(cb.Measured2, 0));
        c.field(path(point2, Key::Value), PlainValueText(ca.Calib2, fa), PlainValueText(cb.Calib2, fb));
    }
    if (scope != CompareScope::Everything)
        return std::move(c.differences);

    const QString hidden = QLatin1String(Key::Hidden);
    c.field(path(hidden, Key::Reserved), QString::number(a.Reserved), QString::number(b.Reserved));
    c.rest(path(hidden, Key::Header1), a.Header1, b.Header1);
    c.rest(path(hidden, Key::Header2), a.Header2, b.Header2);
    for (int i = 0; i < ChannelCount; ++i) {
        const QString ch = path(hidden, ChannelKeys[std::size_t(i)]);
        const QString last = path(ch, Key::LastReading);
        c.rest(path(ch, Key::Tag), a.TagName[i], b.TagName[i]);
        c.rest(path(ch, Key::Units), a.UnitName[i], b.UnitName[i]);
        c.field(path(last, Key::Raw), PlainValueText(a.RawValue[i], 0), PlainValueText(b.RawValue[i], 0));
        c.field(path(last, Key::Value), PlainValueText(a.MeasuredValue[i], a.ChannelFlags[i]),
                PlainValueText(b.MeasuredValue[i], b.ChannelFlags[i]));
        c.field(path(ch, Key::ReservedA), QString::number(a.ReservedA[i]), QString::number(b.ReservedA[i]));
        c.field(path(ch, Key::ReservedB), QString::number(a.ReservedB[i]), QString::number(b.ReservedB[i]));
    }
    return std::move(c.differences);
}

bool CopyComparedField(const QString& field, const ConfigBlock& from, ConfigBlock& to) {
    namespace Key = ConfigKey;
    if (field == QLatin1String(Key::Header1)) {
        to.Header1 = from.Header1;
        return true;
    }
    if (field == QLatin1String(Key::Header2)) {
        to.Header2 = from.Header2;
        return true;
    }
    // "channelN.rest"
    int i = 0;
    while (i < ChannelCount && !field.startsWith(QLatin1String(ChannelKeys[std::size_t(i)]) + u'.'))
        ++i;
    if (i == ChannelCount)
        return false;
    const QString rest = field.mid(qsizetype(std::strlen(ChannelKeys[std::size_t(i)])) + 1);
    const auto flagBits = [&](std::uint8_t bits) {
        to.ChannelFlags[i] =
            static_cast<std::uint8_t>((to.ChannelFlags[i] & ~bits) | (from.ChannelFlags[i] & bits));
    };
    ChannelCalibration& c = to.Calibration[i];
    const ChannelCalibration& f = from.Calibration[i];
    if (rest == QLatin1String(Key::Tag))
        to.TagName[i] = from.TagName[i];
    else if (rest == QLatin1String(Key::Units))
        to.UnitName[i] = from.UnitName[i];
    else if (rest == QLatin1String(Key::Decimals))
        flagBits(FlagDecimalsMask);
    else if (rest == QLatin1String(Key::Disabled))
        flagBits(FlagDisabled);
    else if (rest == QLatin1String(Key::Flags))
        flagBits(static_cast<std::uint8_t>(~(FlagDecimalsMask | FlagDisabled)));
    else if (rest == path(QLatin1String(Key::Point1), Key::Raw))
        c.Measured1 = f.Measured1;
    else if (rest == path(QLatin1String(Key::Point1), Key::Value))
        c.Calib1 = f.Calib1;
    else if (rest == path(QLatin1String(Key::Point2), Key::Raw))
        c.Measured2 = f.Measured2;
    else if (rest == path(QLatin1String(Key::Point2), Key::Value))
        c.Calib2 = f.Calib2;
    else
        return false;
    return true;
}

} // namespace quellix
