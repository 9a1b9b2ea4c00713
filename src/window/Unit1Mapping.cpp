// Moving data between the configuration block and the window's controls.
#include "Unit1.h"

#include "Charset.h"
#include "ConfigView.h"
#include "FixedPoint.h"

#include <QCheckBox>
#include <QLabel>
#include <QScopedValueRollback>
#include <QSpinBox>

namespace quellix {

namespace {

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
    const BlockView view = ViewOfBlock(block);
    for (int n = 1; n <= ChannelCount; ++n) {
        const ChannelView& c = view.channels[n - 1];
        Control<QLabel>("Tag_", n)->setText(c.tag);
        Control<QLabel>("Units_", n)->setText(c.units);
        Control<QSpinBox>("Decimal_", n)->setValue(c.decimals);
        Control<QCheckBox>("Disable_", n)->setChecked(c.disabled);
        Control<QLabel>("Raw_", n)->setText(c.raw);
    }
}

void TForm1::RefreshValues(const ConfigBlock& block) {
    const BlockView view = ViewOfBlock(block);
    Control<QLabel>("Header_1")->setText(view.header1);
    Control<QLabel>("Header_2")->setText(view.header2);
    for (int n = 1; n <= ChannelCount; ++n) {
        const ChannelView& c = view.channels[n - 1];
        Control<QLabel>("Calib1_", n)->setText(c.calib1);
        Control<QLabel>("Calib2_", n)->setText(c.calib2);
        Control<QLabel>("Measured1_", n)->setText(c.measured1);
        Control<QLabel>("Measured2_", n)->setText(c.measured2);
        Control<QLabel>("MeasuredValue_", n)->setText(c.measuredValue);
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
