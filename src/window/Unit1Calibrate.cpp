// "Data" > "Calibrate…": the wizard works on the window's configuration and link; its adjustment is a
// "Send to unit" of the window's configuration with the new calibration, audited as every write.
#include "Unit1.h"

#include "CalibrationWizard.h"

#include <QAction>
#include <QCheckBox>

namespace quellix {

QString TForm1::PortNameForRecords() const {
    return session_.comNumber() > 0 ? QStringLiteral("COM%1").arg(session_.comNumber())
                                    : session_.devicePath();
}

void TForm1::Calibrate1Click() {
    if (auto* open = findChild<TCalibrationWizard*>(QStringLiteral("CalibrationWizard"))) {
        open->raise();
        return;
    }
    CalibrationHost host;
    host.block = &Block;
    host.unitVersion = UnitVersionOf(link_.version());
    host.port = PortNameForRecords();
    host.device = session_.devicePath();
    host.send = [this](int channel, const ChannelCalibration& calibration, const QString& record) {
        Block.Calibration[channel - 1] = calibration;
        BlockToWindow(Block);
        if (!StartAudit(QStringLiteral("calibration of channel %1").arg(channel), record))
            return false;
        link_.startUpload();
        return true;
    };
    host.readBack = [this] { Button13Click(); };
    auto* wizard = new TCalibrationWizard(std::move(host), *Dialogs, this);
    wizard->setAttribute(Qt::WA_DeleteOnClose);
    addLinkListener(*wizard);
    connect(wizard, &QDialog::finished, this, [this, wizard] { removeLinkListener(*wizard); });
    // The wizard waits for readings.
    AutoSend->setChecked(true);
    wizard->open();
}

} // namespace quellix
