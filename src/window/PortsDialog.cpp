#include "PortsDialog.h"

#include "DeviceWatcher.h"
#include "FindUnitDialog.h"
#include "NetAddress.h"
#include "ProbeTargets.h"
#include "SerialDevices.h"
#include "UnitProbe.h"

#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace quellix {

namespace {

// Typing settles before a device is tried: trying one opens it for a moment.
constexpr int StateDelayMs = 300;
// Wide enough for most /dev/serial/by-id names.
constexpr int PathCharacters = 44;
constexpr int DescriptionColumn = 1;
constexpr int ColumnGap = 16; // pixels between a path and its description

// The second column of the list: what the device is, and for a by-id name the node it leads to now.
QString ItemDescription(const SerialDeviceInfo& device) {
    if (device.byIdPath.isEmpty())
        return device.description;
    return device.description.isEmpty() ? device.path : device.path + ", " + device.description;
}

QComboBox* MakeDeviceCombo(QWidget* parent, int slot) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QStringLiteral("Port_%1").arg(slot));
    combo->setEditable(true);
    // A typed path stays exactly as typed: no item is added and nothing is completed into the text.
    combo->setInsertPolicy(QComboBox::NoInsert);
    auto* completer = new QCompleter(combo);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setCaseSensitivity(Qt::CaseSensitive);
    combo->setCompleter(completer);
    combo->setMinimumContentsLength(PathCharacters);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    // The list shows each path with its description beside it.
    auto* model = new QStandardItemModel(0, 2, combo);
    auto* view = new QTreeView(combo);
    view->setHeaderHidden(true);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setAllColumnsShowFocus(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    combo->setModel(model);
    combo->setView(view);
    completer->setModel(model);
    completer->setCompletionColumn(0);
    return combo;
}

void FillDevices(QComboBox* combo, const QList<SerialDeviceInfo>& devices) {
    auto* model = static_cast<QStandardItemModel*>(combo->model());
    const QString shown = combo->currentText();
    model->removeRows(0, model->rowCount());
    for (const SerialDeviceInfo& device : devices) {
        auto* path = new QStandardItem(device.preferredPath());
        auto* description = new QStandardItem(ItemDescription(device));
        path->setToolTip(description->text());
        description->setToolTip(description->text());
        model->appendRow({path, description});
    }
    combo->setEditText(shown);
    auto* view = static_cast<QTreeView*>(combo->view());
    view->resizeColumnToContents(0);
    view->setColumnWidth(0, view->columnWidth(0) + ColumnGap);
    view->resizeColumnToContents(DescriptionColumn);
    const int width = view->columnWidth(0) + view->columnWidth(DescriptionColumn) + 2 * view->frameWidth() +
                      view->verticalScrollBar()->sizeHint().width();
    view->setMinimumWidth(width);
}

} // namespace

TPortsDialog::TPortsDialog(const QString& rootPrefix, const QStringList& paths, const QString& openPath,
                           QWidget* parent)
    : QDialog(parent), root_(rootPrefix), openPath_(openPath) {
    setObjectName(QStringLiteral("PortsDialog"));
    setWindowTitle(QStringLiteral("Ports"));

    stateDelay_ = new QTimer(this);
    stateDelay_->setSingleShot(true);
    stateDelay_->setInterval(StateDelayMs);
    connect(stateDelay_, &QTimer::timeout, this, &TPortsDialog::RefreshStates);

    BuildRows(paths);
    RefreshDevices();

    watcher_ = new DeviceWatcher(root_, this);
    watcher_->setObjectName(QStringLiteral("PortsDialogWatcher"));
    connect(watcher_, &DeviceWatcher::devicesChanged, this, &TPortsDialog::RefreshDevices);
}

void TPortsDialog::BuildRows(const QStringList& paths) {
    auto* column = new QVBoxLayout(this);
    auto* hint =
        new QLabel(QStringLiteral("Pick a serial device found on this computer, or type the path of any "
                                  "serial port, or a network port: tcp://HOST:PORT for raw bytes, "
                                  "rfc2217://HOST:PORT for RFC 2217. Check opens the port once and "
                                  "asks for the unit."),
                   this);
    hint->setTextFormat(Qt::PlainText);
    hint->setWordWrap(true);
    column->addWidget(hint);

    auto* grid = new QGridLayout;
    int gridRow = 0;
    const QStringList headers{QStringLiteral("Port"), QStringLiteral("Device"), QStringLiteral("State")};
    for (int c = 0; c < headers.size(); ++c) {
        auto* header = new QLabel(headers[c], this);
        QFont bold = header->font();
        bold.setBold(true);
        header->setFont(bold);
        grid->addWidget(header, gridRow, c);
    }
    for (int slot = 1; slot <= Slots; ++slot) {
        ++gridRow;
        auto* name = new QLabel(QStringLiteral("COM%1").arg(slot), this);
        name->setObjectName(QStringLiteral("PortName_%1").arg(slot));
        auto* combo = MakeDeviceCombo(this, slot);
        combo->setEditText(paths.value(slot - 1));
        name->setBuddy(combo);
        auto* state = new QLabel(this);
        state->setObjectName(QStringLiteral("PortState_%1").arg(slot));
        state->setTextFormat(Qt::PlainText);
        // Room for the longest state, so that the rows do not jump as states change.
        state->setMinimumWidth(state->fontMetrics().horizontalAdvance(QStringLiteral("not a serial device")));
        grid->addWidget(name, gridRow, 0);
        grid->addWidget(combo, gridRow, 1);
        auto* check = new QPushButton(QStringLiteral("Check"), this);
        check->setObjectName(QStringLiteral("Check_%1").arg(slot));
        check->setToolTip(QStringLiteral("Open this port once and ask for the unit's version"));
        connect(check, &QPushButton::clicked, this, [this, slot] { Check(slot - 1); });
        grid->addWidget(state, gridRow, 2);
        grid->addWidget(check, gridRow, 3);
        combos_.append(combo);
        states_.append(state);
        checks_.append(check);
        connect(combo, &QComboBox::editTextChanged, stateDelay_, qOverload<>(&QTimer::start));
    }
    grid->setColumnStretch(1, 1);
    column->addLayout(grid);
    checkResult_ = new QLabel(this);
    checkResult_->setObjectName(QStringLiteral("CheckResult"));
    checkResult_->setTextFormat(Qt::PlainText);
    checkResult_->setWordWrap(true);
    column->addWidget(checkResult_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("PortsButtons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);
}

void TPortsDialog::RefreshDevices() {
    const QList<SerialDeviceInfo> devices = ListSerialDevices(root_);
    for (QComboBox* combo : combos_)
        FillDevices(combo, devices);
    RefreshStates();
}

void TPortsDialog::RefreshStates() {
    stateDelay_->stop();
    for (int row = 0; row < states_.size(); ++row)
        states_[row]->setText(StateText(PathOf(row)));
}

// A network port is not tried while typing: connecting takes time and may hold the server's one client
// place; Check tries it.
QString TPortsDialog::StateText(const QString& path) const {
    if (sameDevice(root_, path, openPath_))
        return QStringLiteral("open");
    if (IsNetPortName(path))
        return ParseNetAddress(path) ? QStringLiteral("network port") : QStringLiteral("not an address");
    return DeviceStatusText(DeviceState(path, root_));
}

QString TPortsDialog::PathOf(int row) const {
    const QString text = combos_[row]->currentText().trimmed();
    if (text.isEmpty())
        return PortSession::comDevicePath({}, row + 1);
    return text.contains(u'/') ? text : QStringLiteral("/dev/") + text;
}

void TPortsDialog::Check(int row) {
    if (probe_ && probe_->isRunning())
        return;
    const QString path = PathOf(row);
    if (IsNetPortName(path)) {
        if (QString error; !ParseNetAddress(path, &error)) {
            checkResult_->setText(QStringLiteral("COM%1 %2").arg(row + 1).arg(error)); // names the port
            return;
        }
    }
    if (!probe_) {
        probe_ = new UnitProbe(this);
        probe_->setDeviceRoot(root_);
        if (!openPath_.isEmpty())
            probe_->setSkipped({{openPath_, QStringLiteral("open here")}});
    }
    probe_->disconnect(this);
    connect(probe_, &UnitProbe::finished, this, [this, row, path] { CheckDone(row, path); });
    for (QPushButton* check : checks_)
        check->setEnabled(false);
    checkResult_->setText(QStringLiteral("COM%1 %2: asking for the unit\u2026").arg(row + 1).arg(path));
    probe_->start({path});
}

void TPortsDialog::CheckDone(int row, const QString& path) {
    for (QPushButton* check : checks_)
        check->setEnabled(true);
    const ProbeResult& result = probe_->results().value(0);
    checkResult_->setText(QStringLiteral("COM%1 %2: %3").arg(row + 1).arg(path, FoundText(result, path)));
}

QStringList TPortsDialog::Paths() const {
    QStringList paths;
    for (int row = 0; row < combos_.size(); ++row)
        paths << PathOf(row);
    return paths;
}

} // namespace quellix
