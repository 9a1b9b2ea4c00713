// "Data" > "Calibrate…": a channel's calibration, step by step and from the keyboard: set-up, the
// test points as found, an optional adjustment (two raw captures, the required values, "Send to unit"
// and a read-back), the points as left, and the result with its record and certificate. The logic is
// CalibrationRun's; this dialog shows it and follows the link's readings. Once a record is saved, the
// next channel follows with the same procedure.
#pragma once

#include "CalibrationRun.h"
#include "LinkListener.h"

#include <QDialog>
#include <QElapsedTimer>

#include <functional>
#include <optional>

class QComboBox;
class QDateEdit;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTableWidget;
class QTimer;

namespace quellix {

class TUserDialogs;

// What the wizard needs of the window: its configuration and the unit behind it.
struct CalibrationHost {
    const ConfigBlock* block = nullptr;
    QString unitVersion;
    QString port;
    QString device;
    // Puts `calibration` into channel `channel` of the window's configuration and starts "Send to
    // unit" with its audit line for `record`; false when it did not start.
    std::function<bool(int channel, const ChannelCalibration& calibration, const QString& record)> send;
    // Starts "Read from unit" of the configuration.
    std::function<void()> readBack;
};

class TCalibrationWizard : public QDialog, public LinkListener {
    Q_OBJECT
public:
    TCalibrationWizard(CalibrationHost host, TUserDialogs& dialogs, QWidget* parent);
    ~TCalibrationWizard() override;

    void ReadingsTaken(ChannelValues raw, ChannelValues displayed, ChannelFlagBytes flags) override;
    void ReadingsStale() override;
    void SequenceStep(LinkSequence sequence, int step, StepOutcome outcome) override;

    // The record as it stands; saved once "Save record" succeeded.
    const std::optional<CalibrationRun>& Run() const { return run_; }
    QString SavedPath() const { return savedPath_; }

private:
    QWidget* BuildSetup();
    QWidget* BuildPoints();
    QWidget* BuildAdjust();
    QWidget* BuildResult();
    void LoadSetup();
    void StartClicked();
    void BeginStage(CalibrationStage stage);
    void ShowPoint();
    void TakeClicked();
    void StageFinished();
    void Capture(int point);
    void SendClicked();
    void CheckReadBack();
    void ShowResult();
    void SaveClicked();
    void PdfClicked();
    void NextChannel();
    void ShowStability();
    void Take(std::int16_t raw, std::int16_t displayed);
    void FillTable(QTableWidget* table, bool both) const;
    std::int64_t Now() const { return clock_.elapsed(); }

    CalibrationHost host_;
    TUserDialogs& dialogs_;
    std::optional<CalibrationRun> run_;
    CalibrationRecord saved_;
    QString savedPath_;
    QElapsedTimer clock_;
    std::optional<ChannelCalibration> sent_;
    enum class Link { Idle, Sending, Reading } link_ = Link::Idle;

    QStackedWidget* pages_;
    QTimer* tick_;
    // Set-up.
    QComboBox* channel_;
    QLineEdit* percents_;
    QLineEdit* tolerance_;
    QComboBox* toleranceKind_;
    QSpinBox* readings_;
    QSpinBox* limit_;
    QDoubleSpinBox* settling_;
    QLineEdit* reference_;
    QDateEdit* due_;
    QLineEdit* technician_;
    QLabel* setupProblem_;
    // As found and as left.
    QLabel* stageTitle_;
    QTableWidget* points_;
    QLabel* prompt_;
    QLineEdit* applied_;
    QPushButton* take_;
    QLabel* stability_;
    QPushButton* adjust_;
    QPushButton* skip_;
    QPushButton* toResult_;
    // Adjust.
    QLabel* raw_[2];
    QPushButton* capture_[2];
    QLineEdit* required_[2];
    QLabel* adjustState_;
    QPushButton* send_;
    QPushButton* asLeft_;
    // Result.
    QTableWidget* result_;
    QLabel* verdicts_;
    QPushButton* save_;
    QPushButton* pdf_;
    QPushButton* next_;
};

} // namespace quellix
