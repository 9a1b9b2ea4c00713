#include "CalibrationWizard.h"

#include "AuditLog.h"
#include "Certificate.h"
#include "Charset.h"
#include "FixedPoint.h"
#include "RecordStore.h"
#include "UserDialogs.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace quellix {

namespace {

enum Page { SetupPage, PointsPage, AdjustPage, ResultPage };

// The reference standard is remembered between runs, beside the window's own settings.
QSettings RememberedSetup() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("quellix"),
                     QStringLiteral("calibration"));
}

QPushButton* Button(const char* name, const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(true);
    return button;
}

QString ReadingText(const std::optional<PointReading>& r, int decimals, bool error) {
    if (!r)
        return {};
    return MicrosText(error ? r->error() : r->shown, decimals);
}

QString PhaseText(const StabilityState& s) {
    switch (s.phase) {
    case StabilityPhase::Settling:
        return QStringLiteral("settling %1 s").arg(double(s.settlingLeftMs) / 1000, 0, 'f', 1);
    case StabilityPhase::Collecting:
        return QStringLiteral("reading %1/%2").arg(s.counted).arg(s.needed);
    case StabilityPhase::Unsteady:
        return QStringLiteral("not steady");
    case StabilityPhase::Stable:
        return QStringLiteral("stable");
    case StabilityPhase::Stale:
        return QStringLiteral("no readings (is Auto Read on?)");
    case StabilityPhase::Disabled:
        return QStringLiteral("channel disabled");
    }
    return {};
}

} // namespace

TCalibrationWizard::TCalibrationWizard(CalibrationHost host, TUserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), host_(std::move(host)), dialogs_(dialogs), pages_(new QStackedWidget(this)),
      tick_(new QTimer(this)) {
    setObjectName(QStringLiteral("CalibrationWizard"));
    setWindowTitle(QStringLiteral("Calibrate"));
    clock_.start();
    pages_->addWidget(BuildSetup());
    pages_->addWidget(BuildPoints());
    pages_->addWidget(BuildAdjust());
    pages_->addWidget(BuildResult());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
    // The countdown moves on between readings.
    tick_->setInterval(200);
    connect(tick_, &QTimer::timeout, this, [this] { ShowStability(); });
    tick_->start();
    LoadSetup();
}

TCalibrationWizard::~TCalibrationWizard() = default;

QWidget* TCalibrationWizard::BuildSetup() {
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    channel_ = new QComboBox(page);
    channel_->setObjectName(QStringLiteral("Channel"));
    for (int n = 1; n <= ChannelCount; ++n)
        channel_->addItem(
            QStringLiteral("%1  %2").arg(n).arg(FromWin1252(host_.block->TagName[n - 1].text())));
    percents_ = new QLineEdit(QStringLiteral("0, 25, 50, 75, 100"), page);
    percents_->setObjectName(QStringLiteral("Percents"));
    tolerance_ = new QLineEdit(QStringLiteral("0.5"), page);
    tolerance_->setObjectName(QStringLiteral("Tolerance"));
    toleranceKind_ = new QComboBox(page);
    toleranceKind_->setObjectName(QStringLiteral("ToleranceKind"));
    toleranceKind_->addItems({QStringLiteral("% of span"), QStringLiteral("in the channel's units")});
    auto* toleranceRow = new QHBoxLayout;
    toleranceRow->addWidget(tolerance_);
    toleranceRow->addWidget(toleranceKind_);
    readings_ = new QSpinBox(page);
    readings_->setObjectName(QStringLiteral("Readings"));
    readings_->setRange(2, StabilitySettings::MaxReadings);
    limit_ = new QSpinBox(page);
    limit_->setObjectName(QStringLiteral("Limit"));
    limit_->setRange(0, 32767);
    settling_ = new QDoubleSpinBox(page);
    settling_->setObjectName(QStringLiteral("Settling"));
    settling_->setRange(0, 600);
    settling_->setSuffix(QStringLiteral(" s"));
    reference_ = new QLineEdit(page);
    reference_->setObjectName(QStringLiteral("Reference"));
    due_ = new QDateEdit(page);
    due_->setObjectName(QStringLiteral("Due"));
    due_->setCalendarPopup(true);
    due_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    technician_ = new QLineEdit(page);
    technician_->setObjectName(QStringLiteral("Technician"));
    setupProblem_ = new QLabel(page);
    setupProblem_->setObjectName(QStringLiteral("SetupProblem"));
    auto* start = Button("Start", QStringLiteral("&Start"), page);
    start->setDefault(true);
    connect(start, &QPushButton::clicked, this, [this] { StartClicked(); });
    form->addRow(QStringLiteral("&Channel:"), channel_);
    form->addRow(QStringLiteral("Test &points (% of span):"), percents_);
    auto* toleranceLabel = new QLabel(QStringLiteral("&Tolerance:"), page);
    toleranceLabel->setBuddy(tolerance_);
    form->addRow(toleranceLabel, toleranceRow);
    form->addRow(QStringLiteral("Stable: last &N readings:"), readings_);
    form->addRow(QStringLiteral("  within (last &digits):"), limit_);
    form->addRow(QStringLiteral("  after settlin&g:"), settling_);
    form->addRow(QStringLiteral("&Reference standard:"), reference_);
    form->addRow(QStringLiteral("  d&ue:"), due_);
    form->addRow(QStringLiteral("T&echnician:"), technician_);
    form->addRow(setupProblem_);
    form->addRow(start);
    return page;
}

void TCalibrationWizard::LoadSetup() {
    const StabilitySettings defaults;
    QSettings settings = RememberedSetup();
    reference_->setText(settings.value(QStringLiteral("reference")).toString());
    due_->setDate(settings.value(QStringLiteral("due"), QDate::currentDate().addYears(1)).toDate());
    readings_->setValue(settings.value(QStringLiteral("readings"), defaults.readings).toInt());
    limit_->setValue(settings.value(QStringLiteral("limit"), defaults.limit).toInt());
    settling_->setValue(
        settings.value(QStringLiteral("settling"), double(defaults.settlingMs) / 1000).toDouble());
    // The login name, as the audit trail names the user.
    technician_->setText(NewAuditEntry(QString()).user);
}

void TCalibrationWizard::StartClicked() {
    QString error;
    const std::optional<std::vector<Micros>> percents = ParsePercents(percents_->text(), &error);
    const std::optional<Micros> tolerance = TextToMicros(tolerance_->text());
    const int n = channel_->currentIndex() + 1;
    CalibrationSetup setup;
    if (percents && (!tolerance || *tolerance < 0))
        error = QStringLiteral("the tolerance must be a number of at least 0");
    if (percents && tolerance && *tolerance >= 0) {
        setup.channel = n;
        setup.tag = FromWin1252(host_.block->TagName[n - 1].text());
        setup.units = FromWin1252(host_.block->UnitName[n - 1].text());
        setup.flags = host_.block->ChannelFlags[n - 1];
        setup.before = host_.block->Calibration[n - 1];
        setup.percents = *percents;
        setup.toleranceKind =
            toleranceKind_->currentIndex() == 0 ? ToleranceKind::PercentOfSpan : ToleranceKind::Units;
        setup.tolerance = *tolerance;
        setup.stability.readings = readings_->value();
        setup.stability.limit = limit_->value();
        setup.stability.settlingMs = std::llround(settling_->value() * 1000);
        setup.referenceId = reference_->text().trimmed();
        setup.referenceDue = due_->date();
        setup.technician = technician_->text().trimmed();
        setup.unitVersion = host_.unitVersion;
        setup.port = host_.port;
        setup.device = host_.device;
        run_ = CalibrationRun::Start(setup, QDateTime::currentDateTime(), &error);
    }
    if (!run_) {
        setupProblem_->setText(error);
        return;
    }
    QSettings settings = RememberedSetup();
    settings.setValue(QStringLiteral("reference"), setup.referenceId);
    settings.setValue(QStringLiteral("due"), setup.referenceDue);
    settings.setValue(QStringLiteral("readings"), setup.stability.readings);
    settings.setValue(QStringLiteral("limit"), setup.stability.limit);
    settings.setValue(QStringLiteral("settling"), settling_->value());
    for (int p = 0; p < 2; ++p)
        required_[p]->setText(
            QString::fromStdString(
                FixedToText(p == 0 ? setup.before.Calib1 : setup.before.Calib2, setup.flags))
                .trimmed());
    BeginStage(CalibrationStage::AsFound);
}

QWidget* TCalibrationWizard::BuildPoints() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    stageTitle_ = new QLabel(page);
    stageTitle_->setObjectName(QStringLiteral("StageTitle"));
    points_ = new QTableWidget(0, 7, page);
    points_->setObjectName(QStringLiteral("Points"));
    points_->setHorizontalHeaderLabels(
        {QStringLiteral("%"), QStringLiteral("Nominal"), QStringLiteral("Applied"), QStringLiteral("Shown"),
         QStringLiteral("Error"), QStringLiteral("Limit"), QStringLiteral("Verdict")});
    points_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    points_->setFocusPolicy(Qt::NoFocus);
    prompt_ = new QLabel(page);
    prompt_->setObjectName(QStringLiteral("Prompt"));
    applied_ = new QLineEdit(page);
    applied_->setObjectName(QStringLiteral("Applied"));
    take_ = Button("Take", QStringLiteral("&Take when stable"), page);
    connect(applied_, &QLineEdit::returnPressed, this, [this] { TakeClicked(); });
    connect(take_, &QPushButton::clicked, this, [this] { TakeClicked(); });
    stability_ = new QLabel(page);
    stability_->setObjectName(QStringLiteral("Stability"));
    adjust_ = Button("Adjust", QStringLiteral("&Adjust…"), page);
    skip_ = Button("Skip", QStringLiteral("S&kip adjustment"), page);
    toResult_ = Button("ToResult", QStringLiteral("&Result"), page);
    connect(adjust_, &QPushButton::clicked, this, [this] {
        pages_->setCurrentIndex(AdjustPage);
        capture_[0]->setFocus();
    });
    connect(skip_, &QPushButton::clicked, this, [this] { ShowResult(); });
    connect(toResult_, &QPushButton::clicked, this, [this] { ShowResult(); });
    auto* entry = new QHBoxLayout;
    entry->addWidget(new QLabel(QStringLiteral("Reference value:"), page));
    entry->addWidget(applied_);
    entry->addWidget(take_);
    auto* next = new QHBoxLayout;
    next->addStretch();
    for (QPushButton* b : {adjust_, skip_, toResult_})
        next->addWidget(b);
    layout->addWidget(stageTitle_);
    layout->addWidget(points_);
    layout->addWidget(prompt_);
    layout->addLayout(entry);
    layout->addWidget(stability_);
    layout->addLayout(next);
    return page;
}

void TCalibrationWizard::BeginStage(CalibrationStage stage) {
    run_->BeginStage(stage);
    stageTitle_->setText(stage == CalibrationStage::AsFound ? QStringLiteral("As found")
                                                            : QStringLiteral("As left"));
    pages_->setCurrentIndex(PointsPage);
    ShowPoint();
}

void TCalibrationWizard::ShowPoint() {
    FillTable(points_, false);
    const bool done = run_->StageDone();
    applied_->setEnabled(!done && !run_->Waiting());
    take_->setEnabled(!done && !run_->Waiting());
    const bool asFound = run_->Stage() == CalibrationStage::AsFound;
    adjust_->setVisible(done && asFound);
    skip_->setVisible(done && asFound);
    toResult_->setVisible(done && !asFound);
    const CalibrationRecord& r = run_->Record();
    if (done) {
        const bool passed = AsFoundVerdict(r) == Verdict::Pass;
        prompt_->setText(asFound ? (passed ? QStringLiteral("All points passed as found.")
                                           : QStringLiteral("Points failed as found: adjust the channel."))
                                 : QStringLiteral("All points read as left."));
        QPushButton* next = !asFound ? toResult_ : passed ? skip_ : adjust_;
        next->setDefault(true);
        next->setFocus();
        return;
    }
    const TestPoint& point = r.points[run_->PointIndex()];
    prompt_->setText(
        QStringLiteral("Point %1 of %2: apply %3 %4 to channel %5, then enter the reference's value.")
            .arg(run_->PointIndex() + 1)
            .arg(r.points.size())
            .arg(MicrosText(point.nominal, r.decimals()), r.units)
            .arg(r.channel));
    if (!run_->Waiting()) {
        applied_->setText(MicrosText(point.nominal, r.decimals()));
        applied_->selectAll();
        applied_->setFocus();
    }
}

void TCalibrationWizard::TakeClicked() {
    if (!run_ || run_->StageDone() || run_->Waiting())
        return;
    const std::optional<Micros> applied = TextToMicros(applied_->text());
    if (!applied) {
        stability_->setText(QStringLiteral("The reference value must be a number, such as 30.0"));
        return;
    }
    run_->Apply(*applied, Now());
    ShowPoint();
    ShowStability();
}

QWidget* TCalibrationWizard::BuildAdjust() {
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    for (int p = 0; p < 2; ++p) {
        raw_[p] = new QLabel(QStringLiteral("---"), page);
        raw_[p]->setObjectName(QStringLiteral("Raw%1").arg(p + 1));
        capture_[p] = Button(p == 0 ? "Capture1" : "Capture2",
                             QStringLiteral("Capture &%1 when stable").arg(p + 1), page);
        connect(capture_[p], &QPushButton::clicked, this, [this, p] { Capture(p + 1); });
        required_[p] = new QLineEdit(page);
        required_[p]->setObjectName(QStringLiteral("Required%1").arg(p + 1));
        auto* row = new QHBoxLayout;
        row->addWidget(raw_[p]);
        row->addWidget(capture_[p]);
        row->addWidget(new QLabel(QStringLiteral("required:"), page));
        row->addWidget(required_[p]);
        form->addRow(QStringLiteral("Point %1 raw:").arg(p + 1), row);
    }
    adjustState_ = new QLabel(page);
    adjustState_->setObjectName(QStringLiteral("AdjustState"));
    send_ = Button("SendToUnit", QStringLiteral("Send to &unit"), page);
    asLeft_ = Button("AsLeft", QStringLiteral("As &left…"), page);
    asLeft_->setEnabled(false);
    connect(send_, &QPushButton::clicked, this, [this] { SendClicked(); });
    connect(asLeft_, &QPushButton::clicked, this, [this] { BeginStage(CalibrationStage::AsLeft); });
    form->addRow(adjustState_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(send_);
    buttons->addWidget(asLeft_);
    form->addRow(buttons);
    return page;
}

void TCalibrationWizard::Capture(int point) {
    run_->BeginCapture(point, Now());
    raw_[point - 1]->setText(QStringLiteral("waiting…"));
    ShowStability();
}

void TCalibrationWizard::SendClicked() {
    const std::uint8_t flags = run_->Record().flags;
    std::int16_t required[2];
    for (int p = 0; p < 2; ++p) {
        const std::optional<std::int16_t> v =
            ExactTextToFixed(required_[p]->text().trimmed().toStdString(), flags & FlagDecimalsMask);
        if (!run_->CapturedRaw(p + 1) || !v) {
            adjustState_->setText(QStringLiteral("Capture both raw readings and enter both required values "
                                                 "with at most %1 decimals first.")
                                      .arg(flags & FlagDecimalsMask));
            return;
        }
        required[p] = *v;
    }
    const ChannelCalibration after{*run_->CapturedRaw(1), required[0], *run_->CapturedRaw(2), required[1]};
    if (!host_.send(run_->Record().channel, after, run_->Record().id)) {
        adjustState_->setText(QStringLiteral("Nothing was sent to the unit."));
        return;
    }
    sent_ = after;
    run_->SetAdjusted(after);
    link_ = Link::Sending;
    adjustState_->setText(QStringLiteral("Sending to the unit…"));
}

void TCalibrationWizard::SequenceStep(LinkSequence sequence, int step, StepOutcome outcome) {
    if (link_ == Link::Idle || outcome == StepOutcome::Requested)
        return;
    if (outcome != StepOutcome::Complete) {
        link_ = Link::Idle;
        adjustState_->setText(QStringLiteral("The unit did not answer (step %1): send again.").arg(step));
        return;
    }
    if (link_ == Link::Sending && sequence == LinkSequence::Upload) {
        link_ = Link::Reading;
        adjustState_->setText(QStringLiteral("Reading the calibration back…"));
        // Not from inside the link's event.
        QTimer::singleShot(0, this, [this] { host_.readBack(); });
    } else if (link_ == Link::Reading && sequence == LinkSequence::Download) {
        link_ = Link::Idle;
        CheckReadBack();
    }
}

void TCalibrationWizard::CheckReadBack() {
    const ChannelCalibration& held = host_.block->Calibration[run_->Record().channel - 1];
    const ChannelCalibration& sent = *sent_;
    const bool same = held.Measured1 == sent.Measured1 && held.Calib1 == sent.Calib1 &&
                      held.Measured2 == sent.Measured2 && held.Calib2 == sent.Calib2;
    adjustState_->setText(
        same ? QStringLiteral("The unit holds the new calibration.")
             : QStringLiteral("The unit holds another calibration than was sent: send again."));
    asLeft_->setEnabled(same);
    if (same) {
        asLeft_->setDefault(true);
        asLeft_->setFocus();
    }
}

void TCalibrationWizard::ReadingsTaken(ChannelValues raw, ChannelValues displayed, ChannelFlagBytes) {
    if (run_) {
        const int i = run_->Record().channel - 1;
        Take(raw[i], displayed[i]);
    }
}

void TCalibrationWizard::ReadingsStale() {
    if (run_)
        Take(NoValue, NoValue);
}

void TCalibrationWizard::Take(std::int16_t raw, std::int16_t displayed) {
    const int capturing = run_->Capturing();
    if (capturing != 0) {
        raw_[capturing - 1]->setText(raw == NoValue ? QStringLiteral("---") : QString::number(raw));
        if (run_->TakeRaw(raw, Now()))
            raw_[capturing - 1]->setText(QStringLiteral("%1 captured").arg(raw));
    } else if (run_->Waiting() && run_->TakeDisplayed(displayed, Now())) {
        ShowPoint();
    }
    ShowStability();
}

// The countdown, the readings counted and the live spread of what is waited for.
void TCalibrationWizard::ShowStability() {
    if (!run_ || (!run_->Waiting() && run_->Capturing() == 0)) {
        if (run_ && pages_->currentIndex() == PointsPage)
            stability_->clear();
        return;
    }
    const StabilityState s = run_->StabilityAt(Now());
    const bool raw = run_->Capturing() != 0;
    QString text = PhaseText(s);
    if (s.spread >= 0)
        text += QStringLiteral(" · spread %1 %2")
                    .arg(s.spread)
                    .arg(raw ? QStringLiteral("counts") : QStringLiteral("digits"));
    if (s.last != NoValue && s.spread >= 0)
        text += QStringLiteral(" · now ") +
                (raw ? QString::number(s.last)
                     : QString::fromStdString(FixedToText(s.last, run_->Record().flags)).trimmed());
    (raw ? adjustState_ : stability_)->setText(text);
}

void TCalibrationWizard::FillTable(QTableWidget* table, bool both) const {
    const CalibrationRecord& r = run_->Record();
    const int d = r.decimals();
    table->setRowCount(int(r.points.size()));
    const auto cell = [table](int row, int column, const QString& text) {
        auto* item = new QTableWidgetItem(text);
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table->setItem(row, column, item);
    };
    for (int i = 0; i < int(r.points.size()); ++i) {
        const TestPoint& p = r.points[std::size_t(i)];
        cell(i, 0, MicrosText(p.percent, 0));
        cell(i, 1, MicrosText(p.nominal, d));
        const bool left = !both && run_->Stage() == CalibrationStage::AsLeft;
        const std::optional<PointReading>& reading = left ? p.asLeft : p.asFound;
        const bool taken = reading && (std::size_t(i) < run_->PointIndex() || both || run_->StageDone());
        cell(i, 2, reading ? MicrosText(reading->applied, d) : QString());
        cell(i, 3, taken ? ReadingText(reading, d, false) : QString());
        cell(i, 4, taken ? ReadingText(reading, d, true) : QString());
        cell(i, 5, QStringLiteral("±") + MicrosText(p.limit, d));
        cell(i, 6, taken ? VerdictText(PointVerdict(reading, p.limit)) : QString());
        if (both) {
            cell(i, 7, ReadingText(p.asLeft, d, false));
            cell(i, 8, ReadingText(p.asLeft, d, true));
            cell(i, 9, p.asLeft ? VerdictText(PointVerdict(p.asLeft, p.limit)) : QString());
        }
    }
    table->resizeColumnsToContents();
}

QWidget* TCalibrationWizard::BuildResult() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    result_ = new QTableWidget(0, 10, page);
    result_->setObjectName(QStringLiteral("Result"));
    result_->setHorizontalHeaderLabels({QStringLiteral("%"), QStringLiteral("Nominal"),
                                        QStringLiteral("Applied"), QStringLiteral("As found"),
                                        QStringLiteral("Error"), QStringLiteral("Limit"),
                                        QStringLiteral("Verdict"), QStringLiteral("As left"),
                                        QStringLiteral("Error"), QStringLiteral("Verdict")});
    result_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    result_->setFocusPolicy(Qt::NoFocus);
    verdicts_ = new QLabel(page);
    verdicts_->setObjectName(QStringLiteral("Verdicts"));
    save_ = Button("SaveRecord", QStringLiteral("&Save record"), page);
    pdf_ = Button("CertificatePdf", QStringLiteral("&Certificate PDF…"), page);
    auto* close = Button("Close", QStringLiteral("Cl&ose"), page);
    next_ = Button("NextChannel", QStringLiteral("&Next channel…"), page);
    pdf_->setEnabled(false);
    next_->setEnabled(false);
    connect(next_, &QPushButton::clicked, this, [this] { NextChannel(); });
    connect(save_, &QPushButton::clicked, this, [this] { SaveClicked(); });
    connect(pdf_, &QPushButton::clicked, this, [this] { PdfClicked(); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {save_, pdf_, next_, close})
        buttons->addWidget(b);
    layout->addWidget(result_);
    layout->addWidget(verdicts_);
    layout->addLayout(buttons);
    return page;
}

void TCalibrationWizard::ShowResult() {
    FillTable(result_, true);
    const CalibrationRecord& r = run_->Record();
    verdicts_->setText(QStringLiteral("As found: %1    As left: %2    %3")
                           .arg(VerdictText(AsFoundVerdict(r)), VerdictText(AsLeftVerdict(r)),
                                r.after ? QStringLiteral("adjusted") : QStringLiteral("not adjusted")));
    pages_->setCurrentIndex(ResultPage);
    save_->setDefault(true);
    save_->setFocus();
}

// A record that cannot be saved keeps its results here, to be saved again once the cause is mended.
void TCalibrationWizard::SaveClicked() {
    if (!savedPath_.isEmpty())
        return;
    const CalibrationRecord record = run_->Finish(QDateTime::currentDateTime());
    const RecordStore store = RecordStore::Default();
    QString error;
    if (!store.Save(record, &error)) {
        dialogs_.ShowMessage(this, QStringLiteral("The calibration record was not saved."),
                             error + QStringLiteral("\n\nThe results stay in this window; save again once "
                                                    "the cause is mended."));
        return;
    }
    saved_ = record;
    savedPath_ = store.PathOf(record.id);
    verdicts_->setText(verdicts_->text() + QStringLiteral("\nSaved as ") + savedPath_);
    save_->setEnabled(false);
    pdf_->setEnabled(true);
    next_->setEnabled(true);
    pdf_->setDefault(true);
    pdf_->setFocus();
}

void TCalibrationWizard::PdfClicked() {
    const std::optional<QString> path =
        dialogs_.SaveFileName(this, {QString(), QStringLiteral("PDF files (*.pdf)"), QStringLiteral("pdf")});
    if (!path)
        return;
    QString error;
    if (!WriteCertificatePdf(saved_, *path, &error))
        dialogs_.ShowMessage(this, QStringLiteral("The certificate was not written."), error);
}

// Another channel with the same procedure and reference, once this one's record is saved.
void TCalibrationWizard::NextChannel() {
    run_.reset();
    sent_.reset();
    savedPath_.clear();
    link_ = Link::Idle;
    for (int p = 0; p < 2; ++p)
        raw_[p]->setText(QStringLiteral("---"));
    adjustState_->clear();
    asLeft_->setEnabled(false);
    save_->setEnabled(true);
    pdf_->setEnabled(false);
    next_->setEnabled(false);
    setupProblem_->clear();
    channel_->setCurrentIndex((channel_->currentIndex() + 1) % ChannelCount);
    pages_->setCurrentIndex(SetupPage);
    findChild<QPushButton*>(QStringLiteral("Start"))->setDefault(true);
    channel_->setFocus();
}

} // namespace quellix
