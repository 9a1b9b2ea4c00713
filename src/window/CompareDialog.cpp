#include "CompareDialog.h"

#include "ConfigCompare.h"
#include "ConfigJson.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace quellix {

namespace {

enum Column { FieldColumn, WindowColumn, FileColumn, ColumnCount };

// The window shows the disabled mark as a ticked box.
QString shownValue(const FieldDifference& d, const QString& value) {
    if (d.text)
        return QuotedText(value);
    if (d.field.endsWith(QLatin1String(".disabled")))
        return value == QLatin1String("true") ? QStringLiteral("disabled") : QStringLiteral("enabled");
    return value;
}

} // namespace

QString CompareFieldLabel(const QString& field) {
    static const std::pair<const char*, const char*> words[] = {
        {"header1", "Header 1"},
        {"header2", "Header 2"},
        {"tag", "tag"},
        {"units", "units"},
        {"decimals", "decimals"},
        {"disabled", "disabled"},
        {"flags", "flags byte"},
        {"point1.raw", "point 1 measured"},
        {"point1.value", "point 1 required"},
        {"point2.raw", "point 2 measured"},
        {"point2.value", "point 2 required"},
    };
    const auto wordsOf = [](QStringView key) -> QString {
        for (const auto& [name, text] : words)
            if (key == QLatin1String(name))
                return QString::fromLatin1(text);
        return key.toString();
    };
    if (!field.startsWith(QLatin1String("channel")) || field.indexOf(u'.') < 0)
        return wordsOf(field);
    const qsizetype dot = field.indexOf(u'.');
    return QStringLiteral("Channel ") + field.mid(7, dot - 7) + u' ' +
           wordsOf(QStringView(field).mid(dot + 1));
}

std::vector<CompareRow> CompareRows(const ConfigBlock& window, const ConfigBlock& file) {
    std::vector<CompareRow> rows;
    for (const FieldDifference& d : CompareConfigs(window, file, CompareScope::Shown))
        rows.push_back(
            {d.field, CompareFieldLabel(d.field), shownValue(d, d.first), shownValue(d, d.second)});
    return rows;
}

TCompareDialog::TCompareDialog(const ConfigBlock& window, const ConfigBlock& file, const QString& fileName,
                               UseValues use, QWidget* parent)
    : QDialog(parent), window_(window), file_(file), use_(std::move(use)) {
    setObjectName(QStringLiteral("CompareDialog"));
    setWindowTitle(QStringLiteral("Compare"));

    auto* heading = new QLabel(
        QStringLiteral("The window's configuration against %1").arg(QFileInfo(fileName).fileName()), this);
    heading->setToolTip(fileName);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("CompareStatus"));

    table_ = new QTableWidget(0, ColumnCount, this);
    table_->setObjectName(QStringLiteral("CompareTable"));
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("Field"), QStringLiteral("Window"), QStringLiteral("File")});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    useButton_ = buttons->addButton(QStringLiteral("Use File Values"), QDialogButtonBox::ActionRole);
    useButton_->setObjectName(QStringLiteral("UseFileValues"));
    useButton_->setToolTip(QStringLiteral("Takes the file's values of the selected rows into the window"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(useButton_, &QPushButton::clicked, this, [this] { UseFileValues(); });
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { useButton_->setEnabled(!ChosenRows().empty()); });

    auto* column = new QVBoxLayout(this);
    column->addWidget(heading);
    column->addWidget(table_);
    column->addWidget(status_);
    column->addWidget(buttons);
    resize(620, 420);
    Refresh();
}

void TCompareDialog::Refresh() {
    rows_ = CompareRows(window_, file_);
    table_->clearSelection();
    table_->setRowCount(static_cast<int>(rows_.size()));
    for (int row = 0; row < table_->rowCount(); ++row) {
        const CompareRow& r = rows_[static_cast<std::size_t>(row)];
        table_->setItem(row, FieldColumn, new QTableWidgetItem(r.label));
        table_->setItem(row, WindowColumn, new QTableWidgetItem(r.window));
        table_->setItem(row, FileColumn, new QTableWidgetItem(r.file));
    }
    table_->resizeColumnToContents(FieldColumn);
    table_->resizeColumnToContents(WindowColumn);
    status_->setText(rows_.empty()       ? QStringLiteral("No differences")
                     : rows_.size() == 1 ? QStringLiteral("1 field differs")
                                         : QStringLiteral("%1 fields differ").arg(rows_.size()));
    useButton_->setEnabled(false);
}

std::vector<int> TCompareDialog::ChosenRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TCompareDialog::ChooseRows(const std::vector<int>& rows) {
    table_->clearSelection();
    for (const int row : rows)
        table_->selectionModel()->select(table_->model()->index(row, 0),
                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TCompareDialog::UseFileValues() {
    const std::vector<int> chosen = ChosenRows();
    if (chosen.empty())
        return;
    ConfigBlock updated = window_;
    for (const int row : chosen)
        CopyComparedField(rows_[static_cast<std::size_t>(row)].field, file_, updated);
    if (use_)
        use_(updated);
    Refresh();
}

} // namespace quellix
