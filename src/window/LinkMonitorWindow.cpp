#include "LinkMonitorWindow.h"

#include "ToolWindows.h"
#include "UserDialogs.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace quellix {

namespace {

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

TLinkMonitorWindow::TLinkMonitorWindow(TUserDialogs& dialogs, LinkMonitorModel::FlagsSource flags,
                                       WatchLink watch, QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs_(dialogs), watch_(std::move(watch)), model_(std::move(flags)) {
    setObjectName(QStringLiteral("LinkMonitor"));
    setWindowTitle(QStringLiteral("Link Monitor"));
    model_.setObjectName(QStringLiteral("LinkMonitorModel"));

    pause_ = MakeButton(this, "PauseButton", QStringLiteral("Pause"));
    pause_->setCheckable(true);
    auto* clear = MakeButton(this, "ClearButton", QStringLiteral("Clear"));
    auto* copy = MakeButton(this, "CopyButton", QStringLiteral("Copy"));
    copy->setToolTip(QStringLiteral("Copies the selected rows, or all rows when none is selected"));
    auto* save = MakeButton(this, "SaveButton", QStringLiteral("Save As\u2026"));
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("EntryCount"));

    // One view over the model: rows are painted only where they are seen.
    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("MonitorView"));
    view_->setModel(&model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setWordWrap(false);
    view_->setShowGrid(false);
    view_->setAlternatingRowColors(true);
    view_->setTextElideMode(Qt::ElideRight);
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    QHeaderView* columns = view_->horizontalHeader();
    columns->setStretchLastSection(true);
    const int digit = fontMetrics().horizontalAdvance(u'0');
    view_->setColumnWidth(LinkMonitorModel::TimeColumn, 14 * digit);
    view_->setColumnWidth(LinkMonitorModel::DirectionColumn, 9 * digit);
    view_->setColumnWidth(LinkMonitorModel::BytesColumn, 30 * digit);

    auto* buttons = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(pause_), static_cast<QWidget*>(clear),
                       static_cast<QWidget*>(copy), static_cast<QWidget*>(save)})
        buttons->addWidget(w);
    buttons->addStretch();
    buttons->addWidget(count_);
    auto* column = new QVBoxLayout(this);
    column->addLayout(buttons);
    column->addWidget(view_);
    resize(110 * digit, 460);

    connect(pause_, &QPushButton::toggled, this, [this](bool paused) { PauseClick(paused); });
    connect(clear, &QPushButton::clicked, this, [this] { model_.Clear(); });
    connect(copy, &QPushButton::clicked, this, [this] { CopyClick(); });
    connect(save, &QPushButton::clicked, this, [this] { SaveClick(); });
    // The newest row stays in sight unless the user has scrolled away from the bottom.
    QScrollBar* bar = view_->verticalScrollBar();
    connect(&model_, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this, bar] { followNewest_ = bar->value() == bar->maximum(); });
    connect(&model_, &QAbstractItemModel::rowsInserted, this, [this] {
        if (followNewest_)
            view_->scrollToBottom();
        ShowCount();
    });
    connect(&model_, &QAbstractItemModel::modelReset, this, [this] { ShowCount(); });
    ShowCount();
}

// Open when the main window goes: its place is kept for the next run.
TLinkMonitorWindow::~TLinkMonitorWindow() {
    if (isVisible())
        KeepToolWindowPlace(this);
    Watch(false);
}

void TLinkMonitorWindow::Watch(bool watching) {
    if (watching == watching_ || !watch_)
        return;
    watching_ = watching;
    watch_(model_, watching);
}

void TLinkMonitorWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Watch(true);
}

// Closed or hidden by the program; minimized, it goes on collecting.
void TLinkMonitorWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous()) {
        KeepToolWindowPlace(this);
        Watch(false);
    }
}

void TLinkMonitorWindow::PauseClick(bool paused) {
    model_.SetPaused(paused);
    pause_->setText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    ShowCount();
}

void TLinkMonitorWindow::ShowCount() {
    const QString count = QStringLiteral("%1 entries").arg(model_.rowCount());
    count_->setText(model_.Paused() ? QStringLiteral("Paused, ") + count : count);
}

void TLinkMonitorWindow::CopyClick() {
    model_.Flush();
    QModelIndexList rows = view_->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        QGuiApplication::clipboard()->setText(model_.AllText());
        return;
    }
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QString text;
    for (const QModelIndex& row : rows)
        text += model_.RowText(row.row()) + u'\n';
    QGuiApplication::clipboard()->setText(text);
}

void TLinkMonitorWindow::SaveClick() {
    const auto chosen = dialogs_.SaveFileName(
        this, {QDir::currentPath(), QStringLiteral("Text files (*.txt)"), QStringLiteral("txt")});
    if (!chosen)
        return;
    QString error;
    if (!model_.SaveText(*chosen, &error))
        dialogs_.ShowMessage(this, QStringLiteral("Cannot Save ") + *chosen, error);
}

} // namespace quellix
