#include "ConfigCompare.h"

#include "Charset.h"
#include "ConfigView.h"

namespace quellix {

namespace {

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
            differences.push_back({name + ".length", QString::number(a.Length), QString::number(b.Length)});
        field(name + ".after", after(a), after(b));
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
    Comparison c(scope);
    c.text(QStringLiteral("header1"), a.Header1, b.Header1);
    c.text(QStringLiteral("header2"), a.Header2, b.Header2);
    for (int i = 0; i < ChannelCount; ++i) {
        const QString ch = QStringLiteral("channel%1.").arg(i + 1);
        const std::uint8_t fa = a.ChannelFlags[i];
        const std::uint8_t fb = b.ChannelFlags[i];
        c.text(ch + "tag", a.TagName[i], b.TagName[i]);
        c.text(ch + "units", a.UnitName[i], b.UnitName[i]);
        c.field(ch + "decimals", QString::number(fa & FlagDecimalsMask),
                QString::number(fb & FlagDecimalsMask));
        c.field(ch + "disabled", mark(fa & FlagDisabled), mark(fb & FlagDisabled));
        if ((fa ^ fb) & ~(FlagDecimalsMask | FlagDisabled))
            c.field(ch + "flags", flagsText(fa), flagsText(fb));
        const ChannelCalibration& ca = a.Calibration[i];
        const ChannelCalibration& cb = b.Calibration[i];
        c.field(ch + "point1.raw", PlainValueText(ca.Measured1, 0), PlainValueText(cb.Measured1, 0));
        c.field(ch + "point1.value", PlainValueText(ca.Calib1, fa), PlainValueText(cb.Calib1, fb));
        c.field(ch + "point2.raw", PlainValueText(ca.Measured2, 0), PlainValueText(cb.Measured2, 0));
        c.field(ch + "point2.value", PlainValueText(ca.Calib2, fa), PlainValueText(cb.Calib2, fb));
    }
    if (scope != CompareScope::Everything)
        return std::move(c.differences);

    c.field(QStringLiteral("hidden.reserved"), QString::number(a.Reserved), QString::number(b.Reserved));
    c.rest(QStringLiteral("hidden.header1"), a.Header1, b.Header1);
    c.rest(QStringLiteral("hidden.header2"), a.Header2, b.Header2);
    for (int i = 0; i < ChannelCount; ++i) {
        const QString ch = QStringLiteral("hidden.channel%1.").arg(i + 1);
        c.rest(ch + "tag", a.TagName[i], b.TagName[i]);
        c.rest(ch + "units", a.UnitName[i], b.UnitName[i]);
        c.field(ch + "lastReading.raw", PlainValueText(a.RawValue[i], 0), PlainValueText(b.RawValue[i], 0));
        c.field(ch + "lastReading.value", PlainValueText(a.MeasuredValue[i], a.ChannelFlags[i]),
                PlainValueText(b.MeasuredValue[i], b.ChannelFlags[i]));
        c.field(ch + "reservedA", QString::number(a.ReservedA[i]), QString::number(b.ReservedA[i]));
        c.field(ch + "reservedB", QString::number(a.ReservedB[i]), QString::number(b.ReservedB[i]));
    }
    return std::move(c.differences);
}

bool CopyComparedField(const QString& field, const ConfigBlock& from, ConfigBlock& to) {
    if (field == QLatin1String("header1")) {
        to.Header1 = from.Header1;
        return true;
    }
    if (field == QLatin1String("header2")) {
        to.Header2 = from.Header2;
        return true;
    }
    // "channelN.rest"
    const QString prefix = QStringLiteral("channel");
    const int n =
        field.size() > prefix.size() + 1 && field.startsWith(prefix) && field[prefix.size() + 1] == u'.'
            ? field[prefix.size()].digitValue()
            : -1;
    if (n < 1 || n > ChannelCount)
        return false;
    const int i = n - 1;
    const QStringView rest = QStringView(field).mid(prefix.size() + 2);
    const auto flagBits = [&](std::uint8_t bits) {
        to.ChannelFlags[i] =
            static_cast<std::uint8_t>((to.ChannelFlags[i] & ~bits) | (from.ChannelFlags[i] & bits));
    };
    ChannelCalibration& c = to.Calibration[i];
    const ChannelCalibration& f = from.Calibration[i];
    if (rest == u"tag")
        to.TagName[i] = from.TagName[i];
    else if (rest == u"units")
        to.UnitName[i] = from.UnitName[i];
    else if (rest == u"decimals")
        flagBits(FlagDecimalsMask);
    else if (rest == u"disabled")
        flagBits(FlagDisabled);
    else if (rest == u"flags")
        flagBits(static_cast<std::uint8_t>(~(FlagDecimalsMask | FlagDisabled)));
    else if (rest == u"point1.raw")
        c.Measured1 = f.Measured1;
    else if (rest == u"point1.value")
        c.Calib1 = f.Calib1;
    else if (rest == u"point2.raw")
        c.Measured2 = f.Measured2;
    else if (rest == u"point2.value")
        c.Calib2 = f.Calib2;
    else
        return false;
    return true;
}

} // namespace quellix
