// Moving data between the configuration block and the window's controls.
#include "Unit1.h"

#include "Charset.h"
#include "FixedPoint.h"

#include <QCheckBox>
#include <QLabel>
#include <QScopedValueRollback>
#include <QSpinBox>

namespace quellix {

namespace {

QString ValueText(std::int16_t value, std::uint8_t flags) {
    return QString::fromStdString(FixedToText(value, flags));
}

// A disabled channel shows its displayed values as blanks, which would read back as NoValue. While its
// label still shows those blanks, the stored value stands; anything typed there is read as usual.
std::int16_t ReadValue(const QLabel* label, std::uint8_t flags, std::int16_t stored) {
    const QString text = label->text();
    if ((flags & FlagDisabled) && text == ValueText(stored, flags))
        return stored;
    return TextToFixed(text.toStdString(), flags);
}

} // namespace

void TForm1::BlockToWindow(const ConfigBlock& block) {
    const QScopedValueRollback updating(Updating, true);
    // Headers, calibration points and displayed values: what a change of flags also re-shows.
    RefreshValues(block);
    for (int n = 1; n <= ChannelCount; ++n) {
        const int i = n - 1;
        const std::uint8_t flags = block.ChannelFlags[i];
        Control<QLabel>("Tag_", n)->setText(ShortStringToText(block.TagName[i]));
        Control<QLabel>("Units_", n)->setText(ShortStringToText(block.UnitName[i]));
        Control<QSpinBox>("Decimal_", n)->setValue(flags & FlagDecimalsMask);
        Control<QCheckBox>("Disable_", n)->setChecked(flags & FlagDisabled);
        Control<QLabel>("Raw_", n)->setText(ValueText(block.RawValue[i], 0));
    }
}

void TForm1::RefreshValues(const ConfigBlock& block) {
    Control<QLabel>("Header_1")->setText(ShortStringToText(block.Header1));
    Control<QLabel>("Header_2")->setText(ShortStringToText(block.Header2));
    for (int n = 1; n <= ChannelCount; ++n) {
        const int i = n - 1;
        const std::uint8_t flags = block.ChannelFlags[i];
        const ChannelCalibration& cal = block.Calibration[i];
        Control<QLabel>("Calib1_", n)->setText(ValueText(cal.Calib1, flags));
        Control<QLabel>("Calib2_", n)->setText(ValueText(cal.Calib2, flags));
        Control<QLabel>("Measured1_", n)->setText(ValueText(cal.Measured1, 0));
        Control<QLabel>("Measured2_", n)->setText(ValueText(cal.Measured2, 0));
        Control<QLabel>("MeasuredValue_", n)->setText(ValueText(block.MeasuredValue[i], flags));
    }
}

void TForm1::WindowToBlock(ConfigBlock& block) {
    TextToShortString(block.Header1, Control<QLabel>("Header_1")->text());
    TextToShortString(block.Header2, Control<QLabel>("Header_2")->text());
    for (int n = 1; n <= ChannelCount; ++n) {
        const int i = n - 1;
        ChannelCalibration& cal = block.Calibration[i];
        TextToShortString(block.TagName[i], Control<QLabel>("Tag_", n)->text());
        TextToShortString(block.UnitName[i], Control<QLabel>("Units_", n)->text());
        // The required values were shown with the flags as they stood; read them back with those.
        const std::uint8_t shownFlags = block.ChannelFlags[i];
        cal.Calib1 = ReadValue(Control<QLabel>("Calib1_", n), shownFlags, cal.Calib1);
        cal.Calib2 = ReadValue(Control<QLabel>("Calib2_", n), shownFlags, cal.Calib2);
        cal.Measured1 = TextToFixed(Control<QLabel>("Measured1_", n)->text().toStdString(), 0);
        cal.Measured2 = TextToFixed(Control<QLabel>("Measured2_", n)->text().toStdString(), 0);
        const int decimals = Control<QSpinBox>("Decimal_", n)->value() & FlagDecimalsMask;
        const bool disabled = Control<QCheckBox>("Disable_", n)->isChecked();
        block.ChannelFlags[i] = static_cast<std::uint8_t>(decimals | (disabled ? FlagDisabled : 0));
        block.MeasuredValue[i] =
            ReadValue(Control<QLabel>("MeasuredValue_", n), block.ChannelFlags[i], block.MeasuredValue[i]);
    }
}

} // namespace quellix
