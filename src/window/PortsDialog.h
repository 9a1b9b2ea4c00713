// The "Ports" dialog of the Setup menu: which device each of COM1 to COM4 opens, picked from the serial
// devices found on the machine or typed as any path or network port, each with whether it can be opened
// now, and a check that opens it once and asks for the unit.
#pragma once

#include "PortSession.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

namespace quellix {

class DeviceWatcher;
class UnitProbe;

class TPortsDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int Slots = PortCount;

    // `paths` holds the device paths of COM1..COM4 now; `openPath` is the device this program has open
    // (shown as "open" rather than "in use"), empty when none. Devices are looked up below `rootPrefix`
    // (empty: the machine's own /dev and /sys).
    TPortsDialog(const QString& rootPrefix, const QStringList& paths, const QString& openPath,
                 QWidget* parent = nullptr);

    // The device paths of COM1..COM4 as picked or typed. A bare name (ttyUSB0) is taken from /dev, and an
    // empty row is the slot's default device.
    QStringList Paths() const;

private:
    void BuildRows(const QStringList& paths);
    // Reads the device list anew into every row, keeping what each row shows.
    void RefreshDevices();
    void RefreshStates();
    QString StateText(const QString& path) const;
    QString PathOf(int row) const;
    // Opens the row's port once and asks for the unit, telling what it found below the rows.
    void Check(int row);
    void CheckDone(int row, const QString& path);

    QString root_;
    QString openPath_;
    QList<QComboBox*> combos_;
    QList<QLabel*> states_;
    QList<QPushButton*> checks_;
    QLabel* checkResult_ = nullptr;
    UnitProbe* probe_ = nullptr;
    QTimer* stateDelay_ = nullptr;
    DeviceWatcher* watcher_ = nullptr;
};

} // namespace quellix
