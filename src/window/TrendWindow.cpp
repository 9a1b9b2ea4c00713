#include "TrendWindow.h"

#include "AtomicSave.h"
#include "ReadingFormat.h"
#include "ToolWindows.h"
#include "TrendChart.h"
#include "UserDialogs.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quellix {

namespace {

constexpr int CellPadding = 6; // each side of a cell's text
enum StatColumn { ChannelCol, LastCol, MinCol, MaxCol, MeanCol, CountCol, StatColumns };

QTableWidgetItem* Cell(Qt::Alignment align) {
    auto* item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled);
    item->setTextAlignment(align | Qt::AlignVCenter);
    return item;
}

// Writes `bytes` to `path` whole or not at all; the error for the user, empty on success.
QString WriteAtomically(const QString& path, const QByteArray& bytes) {
    QString why;
    if (!SaveFileAtomically(path, bytes, {}, &why))
        return QStringLiteral("Cannot write %1: %2").arg(path, why);
    return {};
}

} // namespace

const std::int64_t TTrendWindow::Spans[5] = {60000, 600000, 3600000, 8 * 3600000, 24 * 3600000};

TTrendWindow::TTrendWindow(const History& history, const ConfigBlock& block, TUserDialogs& dialogs,
                           QWidget* parent)
    : QWidget(parent, Qt::Window), history_(history), block_(block), dialogs_(dialogs) {
    setObjectName(QStringLiteral("TrendWindow"));
    setWindowTitle(QStringLiteral("Trend"));

    span_ = new QComboBox(this);
    span_->setObjectName(QStringLiteral("Span"));
    for (const char* name : {"1 min", "10 min", "1 h", "8 h", "24 h"})
        span_->addItem(QString::fromLatin1(name));
    span_->setCurrentIndex(1);
    follow_ = new QCheckBox(QStringLiteral("Follow latest"), this);
    follow_->setObjectName(QStringLiteral("Follow"));
    follow_->setChecked(true);
    raw_ = new QCheckBox(QStringLiteral("Raw values"), this);
    raw_->setObjectName(QStringLiteral("RawView"));
    auto* saveImage = new QPushButton(QStringLiteral("Save Image\u2026"), this);
    saveImage->setObjectName(QStringLiteral("SaveImage"));
    auto* exportButton = new QPushButton(QStringLiteral("Export\u2026"), this);
    exportButton->setObjectName(QStringLiteral("Export"));
    auto* hint = new QLabel(QStringLiteral("Wheel or drag to zoom"), this);
    hint->setEnabled(false);

    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("Span:"), this));
    bar->addWidget(span_);
    bar->addWidget(follow_);
    bar->addWidget(raw_);
    bar->addWidget(hint);
    bar->addStretch();
    bar->addWidget(saveImage);
    bar->addWidget(exportButton);

    chart_ = new TTrendChart(history, block, this);
    chart_->SetSpan(Spans[1]);

    stats_ = new QTableWidget(ChannelCount, StatColumns, this);
    stats_->setObjectName(QStringLiteral("Statistics"));
    stats_->setHorizontalHeaderLabels({QStringLiteral("Channel"), QStringLiteral("Last"),
                                       QStringLiteral("Min"), QStringLiteral("Max"), QStringLiteral("Mean"),
                                       QStringLiteral("Count")});
    stats_->verticalHeader()->hide();
    stats_->setSelectionMode(QAbstractItemView::NoSelection);
    stats_->setFocusPolicy(Qt::NoFocus);
    for (int row = 0; row < ChannelCount; ++row) {
        auto* name = Cell(Qt::AlignLeft);
        name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        name->setCheckState(Qt::Checked);
        name->setForeground(TTrendChart::ChannelColour(row + 1));
        name->setToolTip(QStringLiteral("Untick to hide the channel in the chart"));
        stats_->setItem(row, ChannelCol, name);
        for (int col = LastCol; col < StatColumns; ++col)
            stats_->setItem(row, col, Cell(Qt::AlignRight));
    }
    // The number columns hold any value from the start, so the chart keeps its width as they grow.
    QHeaderView* header = stats_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    // The widest: a value of -32768 units at 0 or 3 decimals, a mean with one more, 7 digits of count.
    const QString widest[StatColumns] = {{}, "-32.768", "-32.768", "-32.768", "-32.7680", "8888888"};
    for (int col = LastCol; col < StatColumns; ++col) {
        header->setSectionResizeMode(col, QHeaderView::Fixed);
        const int text = stats_->fontMetrics().horizontalAdvance(widest[col]) + 2 * CellPadding;
        stats_->setColumnWidth(col, std::max(text, header->sectionSizeHint(col)));
    }
    stats_->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    stats_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    stats_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto* statsColumn = new QVBoxLayout;
    statsColumn->addWidget(stats_);
    statsColumn->addStretch();
    auto* body = new QHBoxLayout;
    body->addWidget(chart_, 1);
    body->addLayout(statsColumn);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addLayout(body, 1);
    resize(1100, 520);

    // Activated, not changed: choosing the span shown again undoes a zoom.
    connect(span_, &QComboBox::activated, this,
            [this](int index) { chart_->SetSpan(Spans[std::clamp(index, 0, 4)]); });
    connect(follow_, &QCheckBox::toggled, this, [this](bool on) { chart_->SetFollowing(on); });
    connect(raw_, &QCheckBox::toggled, this, [this](bool on) { chart_->SetRawView(on); });
    connect(chart_, &TTrendChart::FollowingChanged, this, [this](bool on) { follow_->setChecked(on); });
    connect(chart_, &TTrendChart::ViewChanged, this, [this] { ShowStats(); });
    connect(stats_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == ChannelCol)
            chart_->SetChannelShown(item->row() + 1, item->checkState() == Qt::Checked);
    });
    connect(saveImage, &QPushButton::clicked, this, [this] { SaveImageClick(); });
    connect(exportButton, &QPushButton::clicked, this, [this] { ExportClick(); });
    ShowStats();
}

// Closed by the user or with the main window: its place is kept for the next run.
void TTrendWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        KeepToolWindowPlace(this);
}

void TTrendWindow::HistoryAdded() {
    chart_->HistoryAdded();
}

// Texts change only where a value did, so a reading repaints only its own cells.
void TTrendWindow::ShowStats() {
    const ChannelNames names = ChannelNames::FromBlock(block_);
    const QSignalBlocker quiet(stats_);
    const auto set = [this](int row, int col, const QString& text) {
        QTableWidgetItem* item = stats_->item(row, col);
        if (item->text() != text)
            item->setText(text);
    };
    for (int n = 1; n <= ChannelCount; ++n) {
        const int row = n - 1;
        const std::uint8_t flags = block_.ChannelFlags[row];
        stats_->setRowHidden(row, (flags & FlagDisabled) != 0);
        set(row, ChannelCol, names.SeriesName(n));
        const SeriesStats s = chart_->Stats(n);
        const int decimals = chart_->RawView() ? 0 : flags & FlagDecimalsMask;
        const auto number = [&](double v, int d) { return s.count ? QString::number(v, 'f', d) : QString(); };
        set(row, LastCol, number(s.last, decimals));
        set(row, MinCol, number(s.min, decimals));
        set(row, MaxCol, number(s.max, decimals));
        set(row, MeanCol, number(s.mean, decimals + 1));
        set(row, CountCol, QString::number(s.count));
    }
}

QString TTrendWindow::DialogDir() const {
    return lastDir_.isEmpty() ? QDir::currentPath() : lastDir_;
}

bool TTrendWindow::SaveImage(const QString& path) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!chart_->grab().save(&buffer, "PNG")) {
        dialogs_.ShowMessage(this, QStringLiteral("Cannot make the image"), QString());
        return false;
    }
    if (const QString error = WriteAtomically(path, bytes); !error.isEmpty()) {
        dialogs_.ShowMessage(this, error, QString());
        return false;
    }
    return true;
}

bool TTrendWindow::Export(const QString& path) {
    QByteArray bytes = CsvHeader(ChannelNames::FromBlock(block_));
    const std::int64_t to = chart_->ViewTo();
    for (std::size_t i = history_.LowerBound(chart_->ViewFrom());
         i < history_.Size() && history_.TimeAt(i) < to; ++i) {
        if (!history_.IsGap(i))
            bytes += CsvLine(history_.At(i));
    }
    if (const QString error = WriteAtomically(path, bytes); !error.isEmpty()) {
        dialogs_.ShowMessage(this, error, QString());
        return false;
    }
    return true;
}

void TTrendWindow::SaveImageClick() {
    const auto path = dialogs_.SaveFileName(
        this, {DialogDir(), QStringLiteral("PNG images (*.png)"), QStringLiteral("png")});
    if (!path)
        return;
    lastDir_ = QFileInfo(*path).absolutePath();
    SaveImage(*path);
}

void TTrendWindow::ExportClick() {
    const auto path = dialogs_.SaveFileName(
        this, {DialogDir(), QStringLiteral("CSV files (*.csv)"), QStringLiteral("csv")});
    if (!path)
        return;
    lastDir_ = QFileInfo(*path).absolutePath();
    Export(*path);
}

} // namespace quellix
