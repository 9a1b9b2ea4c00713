// The editing commands: label edits in the edit dialog, decimals and disable marks, calibration point
// capture and the defaults.
#include "Unit1.h"

#include "UndoCommands.h"
#include "Unit2.h"
#include "WindowLog.h"

#include <QCheckBox>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include <algorithm>

namespace quellix {

namespace {
constexpr int MaxDecimalSetting = 4;
} // namespace

void TForm1::SetEditDialog(TForm2* dialog) {
    Form2 = dialog;
}

void TForm1::Tag_1Click(QObject* Sender) {
    EditLabel(qobject_cast<QLabel*>(Sender), QCursor::pos());
}

void TForm1::Calib1_1Click(QObject* Sender) {
    EditLabel(qobject_cast<QLabel*>(Sender), QCursor::pos());
}

// The dialog opens at the mouse pointer (a click) or under the label (a key) with the label's text as
// shown; OK stores it through the block, which cuts texts and re-reads and re-formats every number of
// the window.
void TForm1::EditLabel(QLabel* label, QPoint at) {
    if (!label || !Form2) {
        qCWarning(lcWindow) << "label edit without a label or an edit dialog";
        return;
    }
    Form2->move(at);
    Form2->Edit2->setText(label->text());
    if (Form2->exec() != QDialog::Accepted)
        return;
    label->setText(Form2->Edit2->text());
    WindowToBlock(Block);
    BlockToWindow(Block);
}

// Rebuilds all four flags bytes from the Decimal and Disable controls.
void TForm1::Decimal_1Change() {
    if (Updating)
        return;
    for (int n = 1; n <= ChannelCount; ++n) {
        // The spin box keeps its value in range; the clamp keeps the byte's meaning whatever it reports.
        const int decimals = std::clamp(Control<QSpinBox>("Decimal_", n)->value(), 0, MaxDecimalSetting);
        const bool disabled = Control<QCheckBox>("Disable_", n)->isChecked();
        Block.ChannelFlags[n - 1] = static_cast<std::uint8_t>(decimals + (disabled ? FlagDisabled : 0));
    }
    RefreshValues(Block);
}

// "Set_<point>_<channel>": the channel's last raw reading becomes the raw value of that point.
void TForm1::Set_1_1Click(QObject* Sender) {
    const QString name = Sender ? Sender->objectName() : QString();
    const int point = name.size() > 6 ? name[4].digitValue() : -1;
    const int n = name.size() > 6 ? name[6].digitValue() : -1;
    if (n < 1 || n > ChannelCount)
        return;
    ChannelCalibration& cal = Block.Calibration[n - 1];
    if (point == 1)
        cal.Measured1 = Block.RawValue[n - 1];
    if (point == 2)
        cal.Measured2 = Block.RawValue[n - 1];
    BlockToWindow(Block);
}

void TForm1::SetDefaults1Click() {
    UndoCommands->Replaced(QStringLiteral("Set Defaults"), UndoCommands->Current(),
                           QStringLiteral("Defaults set"));
    SetBlockDefaults(Block);
    BlockToWindow(Block);
}

} // namespace quellix
