// The "Find Unit" dialog of the Setup menu: every serial device found, and the devices the "Ports"
// section names, asked at once for the unit's version (the probe of `quellix-cli find`); each listed
// with the version or why it could not be asked. A unit found is taken as COM1..COM4 with one click.
#pragma once

#include "UnitProbe.h"

#include <QDialog>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class QLabel;
class QPushButton;
class QTableWidget;

namespace quellix {

// What a probe found on `path`, as a sentence for a table cell or a line: the version, no answer, or why
// it could not be asked (without the path it starts with).
QString FoundText(const ProbeResult& result, const QString& path);

class TFindUnitDialog : public QDialog {
    Q_OBJECT
public:
    enum Column { DeviceColumn, FoundColumn, PortsColumn, UseColumn, ColumnCount };

    // `ports` holds the "Ports" entries now ("COM1" -> path); `openPath` is the device the window has
    // open, never probed and shown as "open here", empty when none. Devices are looked up below
    // `rootPrefix` (empty: the machine's own). Finding starts at once.
    TFindUnitDialog(const QString& rootPrefix, const QMap<QString, QString>& ports, const QString& openPath,
                    QWidget* parent = nullptr);

    // Asks every device again, with the device list read anew.
    void Find();
    bool Finding() const { return probe_.isRunning(); }

    // The port a unit was taken as (1..4, the dialog then accepted) and the path to write for it: the
    // by-id name where the device has one. 0 and empty while none.
    int AssignedPort() const { return assignedPort_; }
    QString AssignedPath() const { return assignedPath_; }

Q_SIGNALS:
    // Every device has been answered for.
    void findingFinished();

private:
    struct Row {
        QString shown;       // the name to offer and store
        QString probed;      // the path the probe opens (the node of a by-id name)
        QString description; // what the device is, as the Ports dialog tells it
    };

    void BuildLayout();
    void GatherRows();
    void ShowResult(int row);
    void ShowFinished();
    void Assign(int row, int port);

    QString root_;
    QMap<QString, QString> ports_;
    QString openPath_;
    QList<Row> rows_;
    UnitProbe probe_;
    QTableWidget* table_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* again_ = nullptr;
    int assignedPort_ = 0;
    QString assignedPath_;
};

} // namespace quellix
