#include "FindUnitDialog.h"

#include "PortSession.h"
#include "ProbeTargets.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace quellix {

namespace {

// Wide enough for a by-id name, its description and a diagnosis on two lines.
constexpr int DialogWidth = 940;
constexpr int DialogHeight = 380;
constexpr int UseMargin = 2;  // around the COM1..COM4 buttons in their cell
constexpr int UseSpacing = 2; // between them

QString DescriptionOf(const SerialDeviceInfo& device) {
    if (device.byIdPath.isEmpty())
        return device.description;
    return device.description.isEmpty() ? device.path : device.path + ", " + device.description;
}

// The diagnosis without the path it starts with, which the row shows already; capitalised as a
// sentence of its own.
QString ReasonText(const QString& reason, const QString& path) {
    QString text = reason;
    if (reason.startsWith(path)) {
        const qsizetype colon = reason.indexOf(QStringLiteral(": "), path.size());
        if (colon >= 0)
            text = reason.mid(colon + 2);
    }
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

} // namespace

QString FoundText(const ProbeResult& result, const QString& path) {
    switch (result.outcome) {
    case ProbeResult::Outcome::Pending:
        return QStringLiteral("asking\u2026");
    case ProbeResult::Outcome::Unit:
        return QStringLiteral("Unit, software version %1").arg(result.version);
    case ProbeResult::Outcome::NoAnswer:
        return QStringLiteral("No answer");
    case ProbeResult::Outcome::NotProbed:
        return ReasonText(result.reason, path);
    case ProbeResult::Outcome::Skipped:
        return result.reason;
    }
    return {};
}

namespace {

QTableWidgetItem* TextItem(const QString& text, const QString& tip = QString()) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    item->setToolTip(tip.isEmpty() ? text : tip);
    return item;
}

} // namespace

TFindUnitDialog::TFindUnitDialog(const QString& rootPrefix, const QMap<QString, QString>& ports,
                                 const QString& openPath, QWidget* parent)
    : QDialog(parent), root_(rootPrefix), ports_(ports), openPath_(openPath) {
    setObjectName(QStringLiteral("FindUnitDialog"));
    setWindowTitle(QStringLiteral("Find Unit"));
    BuildLayout();
    probe_.setDeviceRoot(root_);
    if (!openPath_.isEmpty())
        probe_.setSkipped({{openPath_, QStringLiteral("open here")}});
    connect(&probe_, &UnitProbe::resultReady, this, &TFindUnitDialog::ShowResult);
    connect(&probe_, &UnitProbe::finished, this, &TFindUnitDialog::ShowFinished);
    Find();
}

void TFindUnitDialog::BuildLayout() {
    auto* column = new QVBoxLayout(this);
    auto* hint = new QLabel(QStringLiteral("Each serial device is sent one version request, all at once; the "
                                           "port open in this window is left alone. Click COM1 to COM4 "
                                           "beside a unit to use it as that port."),
                            this);
    hint->setTextFormat(Qt::PlainText);
    hint->setWordWrap(true);
    column->addWidget(hint);

    table_ = new QTableWidget(0, ColumnCount, this);
    table_->setObjectName(QStringLiteral("FindResults"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Device"), QStringLiteral("Found"),
                                       QStringLiteral("Port now"), QStringLiteral("Use as")});
    table_->verticalHeader()->hide();
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(true);
    table_->setFocusPolicy(Qt::NoFocus);
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionResizeMode(DeviceColumn, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(FoundColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(PortsColumn, QHeaderView::ResizeToContents);
    // Room for the four buttons from the start, so that nothing moves when a unit is found.
    QToolButton sample;
    sample.setText(QStringLiteral("COM4"));
    header->setSectionResizeMode(UseColumn, QHeaderView::Fixed);
    header->resizeSection(UseColumn, PortCount * (sample.sizeHint().width() + UseSpacing) + 2 * UseMargin);
    // Wrapped texts take the height the column's width gives them, whenever either changes.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    column->addWidget(table_, 1);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("FindStatus"));
    status_->setTextFormat(Qt::PlainText);
    column->addWidget(status_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setObjectName(QStringLiteral("FindButtons"));
    again_ = buttons->addButton(QStringLiteral("Find Again"), QDialogButtonBox::ActionRole);
    again_->setObjectName(QStringLiteral("FindAgain"));
    connect(again_, &QPushButton::clicked, this, &TFindUnitDialog::Find);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);
    resize(DialogWidth, DialogHeight);
}

// The devices found, then those the "Ports" section names that were not found (a pseudo-terminal, an
// adapter not plugged in), then the window's own port: each device once.
void TFindUnitDialog::GatherRows() {
    rows_.clear();
    for (const ProbeTarget& target : gatherProbeTargets(root_, ports_, {openPath_}))
        rows_.append(
            {target.shown, target.probed, target.device ? DescriptionOf(*target.device) : QString()});
}

void TFindUnitDialog::Find() {
    probe_.cancel();
    GatherRows();
    // Rows removed, not only emptied: a unit's buttons go with its row.
    table_->setRowCount(0);
    table_->setRowCount(static_cast<int>(rows_.size()));
    QStringList paths;
    for (int r = 0; r < rows_.size(); ++r) {
        const Row& row = rows_[r];
        const QString device = row.description.isEmpty() ? row.shown : row.shown + u'\n' + row.description;
        table_->setItem(r, DeviceColumn, TextItem(device));
        table_->setItem(r, PortsColumn,
                        TextItem(portsUsing(root_, ports_, row.probed).join(QStringLiteral(", "))));
        table_->setItem(r, FoundColumn, TextItem(FoundText({}, row.probed)));
        paths << row.probed;
    }
    again_->setEnabled(false);
    status_->setText(
        rows_.isEmpty() ? QString()
                        : QStringLiteral("Asking %1 %2 for the unit's version\u2026")
                              .arg(rows_.size())
                              .arg(rows_.size() == 1 ? QStringLiteral("device") : QStringLiteral("devices")));
    // Devices that cannot be opened are told during the start; the finish may come in it too.
    probe_.start(paths);
}

void TFindUnitDialog::ShowResult(int row) {
    if (row < 0 || row >= rows_.size())
        return;
    const ProbeResult& result = probe_.results().at(row);
    table_->setItem(row, FoundColumn,
                    TextItem(FoundText(result, rows_[row].probed),
                             result.outcome == ProbeResult::Outcome::NotProbed ? result.reason : QString()));
    if (result.outcome == ProbeResult::Outcome::Unit) {
        auto* cell = new QWidget(table_);
        auto* line = new QHBoxLayout(cell);
        line->setContentsMargins(UseMargin, UseMargin, UseMargin, UseMargin);
        line->setSpacing(UseSpacing);
        for (int n = 1; n <= PortCount; ++n) {
            auto* use = new QToolButton(cell);
            use->setText(QStringLiteral("COM%1").arg(n));
            use->setObjectName(QStringLiteral("Use_%1_%2").arg(row).arg(n));
            use->setToolTip(QStringLiteral("Use %1 as COM%2 and open it").arg(rows_[row].shown).arg(n));
            connect(use, &QToolButton::clicked, this, [this, row, n] { Assign(row, n); });
            line->addWidget(use);
        }
        line->addStretch();
        table_->setCellWidget(row, UseColumn, cell);
    }
}

void TFindUnitDialog::ShowFinished() {
    int units = 0;
    for (const ProbeResult& result : probe_.results())
        units += result.outcome == ProbeResult::Outcome::Unit;
    if (rows_.isEmpty())
        status_->setText(QStringLiteral("No serial device found."));
    else if (units == 0)
        status_->setText(QStringLiteral("No unit answered."));
    else
        status_->setText(units == 1 ? QStringLiteral("Found 1 unit.")
                                    : QStringLiteral("Found %1 units.").arg(units));
    again_->setEnabled(true);
    Q_EMIT findingFinished();
}

void TFindUnitDialog::Assign(int row, int port) {
    probe_.cancel();
    assignedPort_ = port;
    assignedPath_ = rows_[row].shown;
    accept();
}

} // namespace quellix
