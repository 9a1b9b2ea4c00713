#include "FileCommands.h"

#include "CliFiles.h"
#include "ConfigCompare.h"
#include "ConfigJson.h"
#include "ConfigView.h"
#include "PortCommands.h"

namespace quellix {

namespace {

std::optional<ConfigBlock> load(const ConfigSource& source, CliOutput& output, int& status) {
    if (source.port)
        return ReadUnitConfig(*source.port, output, status);
    QString message;
    std::optional<ConfigBlock> block = LoadConfigFile(source.file, message);
    if (!block)
        status = output.fail(ExitFileError, message);
    else
        output.detail(QStringLiteral("read %1").arg(source.file));
    return block;
}

QString flagsText(std::uint8_t flags) {
    return QStringLiteral("0x") + QString::number(flags, 16).rightJustified(2, u'0').toUpper();
}

QString pointText(int n, std::int16_t raw, std::int16_t value, std::uint8_t flags) {
    return QStringLiteral("  point %1  raw %2  value %3\n")
        .arg(n)
        .arg(PlainValueText(raw, 0), 6)
        .arg(PlainValueText(value, flags), 8);
}

} // namespace

QString ShowText(const ConfigBlock& block) {
    const BlockView view = ViewOfBlock(block);
    QString text = QStringLiteral("header 1  %1\nheader 2  %2\n")
                       .arg(QuotedText(view.header1), QuotedText(view.header2));
    for (int i = 0; i < ChannelCount; ++i) {
        const ChannelView& c = view.channels[std::size_t(i)];
        const std::uint8_t flags = block.ChannelFlags[i];
        const ChannelCalibration& cal = block.Calibration[i];
        text += QStringLiteral("\nchannel %1  %2  units %3\n")
                    .arg(i + 1)
                    .arg(QuotedText(c.tag), QuotedText(c.units));
        text +=
            QStringLiteral("  decimals %1, %2, flags %3\n")
                .arg(c.decimals)
                .arg(c.disabled ? QStringLiteral("disabled") : QStringLiteral("enabled"), flagsText(flags));
        text += pointText(1, cal.Measured1, cal.Calib1, flags);
        text += pointText(2, cal.Measured2, cal.Calib2, flags);
    }
    return text;
}

int ShowCommand(const QString& file, CliOutput& output) {
    int status = ExitDone;
    const std::optional<ConfigBlock> block = load(ConfigSource{file, {}}, output, status);
    if (!block)
        return status;
    output.result() << ShowText(*block);
    return ExitDone;
}

int DiffCommand(const ConfigSource& first, const ConfigSource& second, bool hidden, CliOutput& output) {
    int status = ExitDone;
    const std::optional<ConfigBlock> a = load(first, output, status);
    if (!a)
        return status;
    const std::optional<ConfigBlock> b = load(second, output, status);
    if (!b)
        return status;
    // A unit sends only what it holds, and holds an empty text as one blank.
    const CompareScope scope = first.port || second.port ? CompareScope::UnitHeld
                               : hidden                  ? CompareScope::Everything
                                                         : CompareScope::Shown;
    const std::vector<FieldDifference> differences = CompareConfigs(*a, *b, scope);
    if (output.verbosity() != Verbosity::Quiet) {
        auto shown = [](const FieldDifference& d, const QString& value) {
            return d.text ? QuotedText(value) : value;
        };
        for (const FieldDifference& d : differences)
            output.result() << d.field << QStringLiteral(": ") << shown(d, d.first) << QStringLiteral(" -> ")
                            << shown(d, d.second) << u'\n';
    }
    output.detail(QStringLiteral("%1 differences").arg(differences.size()));
    return differences.empty() ? ExitDone : ExitDifferences;
}

int ConvertCommand(const QString& file, const QString& target, ConfigForm to, CliOutput& output) {
    const ConfigForm from = to == ConfigForm::Text ? ConfigForm::BlockImage : ConfigForm::Text;
    QString message;
    const std::optional<ConfigBlock> block = LoadConfigFile(file, message, from);
    if (!block)
        return output.fail(ExitFileError, message);
    output.detail(QStringLiteral("read %1").arg(file));
    return WriteConfigOutput(*block, target.isEmpty() ? QStringLiteral("-") : target, to, output);
}

} // namespace quellix
