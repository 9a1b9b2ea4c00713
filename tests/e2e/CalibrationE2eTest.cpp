// "Data" > "Calibrate…" end to end: the real window, headless, on quellix-sim, whose raw input the test
// moves with its control commands as a technician's reference source would. One run covers the whole
// path: a channel found out of tolerance, adjusted, left within it; the unit holding the new
// calibration; the record (after one that could not be saved), its certificate and the audit line.
#include "AuditLog.h"
#include "BlockImages.h"
#include "E2eFixture.h"
#include "PdfText.h"
#include "RecordStore.h"
#include "SimProcess.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

#include <cstring>
#include <unistd.h>

namespace quellix {

namespace {

constexpr int SequenceTimeoutMs = 60000;

class CalibrationE2e : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
        ASSERT_EQ(::pipe(control), 0);
    }
    void TearDown() override {
        E2eTest::TearDown();
        ::close(control[0]);
        ::close(control[1]);
        qunsetenv("XDG_DATA_HOME");
    }
    // Holds channel 1's raw input at `raw` and waits until the window shows it.
    void HoldRaw(int raw) {
        const QByteArray command = "raw 1 " + QByteArray::number(raw) + '\n';
        ASSERT_EQ(::write(control[1], command.constData(), command.size()), command.size());
        ASSERT_TRUE(QTest::qWaitFor([&] { return Text("Raw_1").trimmed() == QString::number(raw); }, 5000));
    }
    template <class T> T* Part(const char* name) {
        T* part = wizard ? wizard->findChild<T*>(QString::fromLatin1(name)) : nullptr;
        EXPECT_NE(part, nullptr) << name;
        return part;
    }
    // Applies `raw`, enters `applied` and waits until the point is recorded.
    void TakePoint(int row, int raw, const QString& applied) {
        HoldRaw(raw);
        Part<QLineEdit>("Applied")->setText(applied);
        QTest::keyClick(Part<QLineEdit>("Applied"), Qt::Key_Return);
        auto* points = Part<QTableWidget>("Points");
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return points->item(row, 6) && !points->item(row, 6)->text().isEmpty(); }, 15000));
    }
    void Capture(int point, int raw) {
        HoldRaw(raw);
        QTest::mouseClick(Part<QPushButton>(point == 1 ? "Capture1" : "Capture2"), Qt::LeftButton);
        auto* label = Part<QLabel>(point == 1 ? "Raw1" : "Raw2");
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return label->text() == QString::number(raw) + " captured"; }, 15000));
    }

    TempDir unit;
    TempDir data;
    int control[2] = {-1, -1};
    QDialog* wizard = nullptr;
};

} // namespace

TEST_F(CalibrationE2e, FoundOutOfToleranceAdjustedAndLeftWithin) {
    // Channel 1 shows 0.0 to 100.0 for raw 0 to 1000; its sensor now reads 20 counts high at the low
    // end and 10 at the top.
    ConfigBlock held = DefaultBlock();
    held.ChannelFlags[0] = 0x01;
    held.Calibration[0] = {0, 0, 1000, 1000};
    start.write("quellix.ini", BlockImage(held));
    SimProcess sim(
        {"--state", unit.write("unit.qlx", BlockImage(held)), "--control", "-", "--raw", "500,500,500,500"},
        SimProcess::Port::LeaveClosed, control[0]);
    ASSERT_TRUE(sim.started());
    StartOn(sim.path());
    Click("Button13"); // the old values of the audit line
    ASSERT_TRUE(QTest::qWaitFor([&] { return Text("Label8") == " Complete "; }, SequenceTimeoutMs));

    Trigger("Calibrate1");
    wizard = form->findChild<QDialog*>("CalibrationWizard");
    ASSERT_NE(wizard, nullptr);
    Part<QLineEdit>("Percents")->setText("0, 100");
    Part<QSpinBox>("Readings")->setValue(2);
    Part<QSpinBox>("Limit")->setValue(0);
    Part<QDoubleSpinBox>("Settling")->setValue(0);
    Part<QLineEdit>("Reference")->setText("Calibrator 4471");
    QTest::mouseClick(Part<QPushButton>("Start"), Qt::LeftButton);

    TakePoint(0, 20, "0.0");
    TakePoint(1, 1010, "100.0");
    EXPECT_EQ(Part<QTableWidget>("Points")->item(1, 3)->text(), "101.0");
    EXPECT_EQ(Part<QTableWidget>("Points")->item(1, 6)->text(), "fail");
    QTest::mouseClick(Part<QPushButton>("Adjust"), Qt::LeftButton);
    Capture(1, 20);
    Capture(2, 1010);
    QTest::mouseClick(Part<QPushButton>("SendToUnit"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Part<QPushButton>("AsLeft")->isEnabled(); }, SequenceTimeoutMs))
        << Part<QLabel>("AdjustState")->text().toStdString();
    QTest::mouseClick(Part<QPushButton>("AsLeft"), Qt::LeftButton);
    TakePoint(0, 20, "0.0");
    TakePoint(1, 1010, "100.0");
    QTest::mouseClick(Part<QPushButton>("ToResult"), Qt::LeftButton);
    EXPECT_EQ(Part<QLabel>("Verdicts")->text(), "As found: fail    As left: pass    adjusted");

    // A records directory that cannot be made: a message, and the results stay to be saved again.
    ASSERT_TRUE(QDir().mkpath(data.file("quellix")));
    data.write("quellix/records", "in the way");
    QTest::mouseClick(Part<QPushButton>("SaveRecord"), Qt::LeftButton);
    ASSERT_EQ(user->messages, QStringList{"The calibration record was not saved."});
    ASSERT_TRUE(QFile::remove(data.file("quellix/records")));
    QTest::mouseClick(Part<QPushButton>("SaveRecord"), Qt::LeftButton);
    QStringList problems;
    const std::vector<RecordSummary> records = RecordStore::Default().List(&problems);
    ASSERT_EQ(records.size(), 1u) << problems.join('\n').toStdString();
    EXPECT_EQ(records[0].asFound, Verdict::Fail);
    EXPECT_EQ(records[0].asLeft, Verdict::Pass);

    user->saveAnswers << data.file("certificate.pdf");
    QTest::mouseClick(Part<QPushButton>("CertificatePdf"), Qt::LeftButton);
    const QString certificate = PdfText(data.file("certificate.pdf"));
    for (const char* part : {"Calibration Certificate", "Calibrator 4471", "101.0"})
        EXPECT_TRUE(certificate.contains(part)) << part << "\n" << certificate.toStdString();
    // The next channel, with the same procedure.
    QTest::mouseClick(Part<QPushButton>("NextChannel"), Qt::LeftButton);
    EXPECT_EQ(Part<QComboBox>("Channel")->currentIndex(), 1);
    EXPECT_EQ(Part<QLineEdit>("Percents")->text(), "0, 100");

    // The unit stored the new calibration, and the audit line of its write names the record.
    ConfigBlock stored{};
    const QByteArray image = TempDir::read(unit.file("unit.qlx"));
    ASSERT_EQ(image.size(), qsizetype(sizeof stored));
    std::memcpy(&stored, image.constData(), sizeof stored);
    const ChannelCalibration& c = stored.Calibration[0];
    EXPECT_EQ((std::vector<int>{c.Measured1, c.Calib1, c.Measured2, c.Calib2}),
              (std::vector<int>{20, 0, 1010, 1000}));
    AuditReading audit;
    QString error;
    ASSERT_TRUE(ReadAuditLog(AuditLog::Default().Path(), {}, audit, &error)) << error.toStdString();
    ASSERT_EQ(audit.entries.size(), 1u);
    const AuditEntry& line = audit.entries[0];
    EXPECT_EQ(line.record, records[0].id);
    EXPECT_EQ(line.sent, "calibration of channel 1");
    EXPECT_EQ(line.result, "done");
    ASSERT_EQ(line.changes.size(), 2u);
    EXPECT_EQ(line.changes[0].field + ' ' + line.changes[0].oldValue + ' ' + line.changes[0].newValue,
              "channel1.point1.raw 0 20");
}

} // namespace quellix

namespace quellix {

// Send to unit waits for the audit trail: a log that cannot take the line sends nothing unless the user
// says Yes (the test's dialogs say No); once it can, the line follows the upload.
TEST_F(CalibrationE2e, SendToUnitIsAudited) {
    SimProcess sim({"--state", unit.file("unit.qlx")}, SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(sim.started());
    StartOn(sim.path());
    const QString log = AuditLog::Default().Path();
    ASSERT_TRUE(QDir().mkpath(log));
    const QString idle = Text("Label1");
    Click("Button14");
    EXPECT_EQ(Text("Label1"), idle);
    EXPECT_FALSE(QFile::exists(unit.file("unit.qlx")));

    ASSERT_TRUE(QDir(log).removeRecursively());
    Click("Button14");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Text("Label1") == " Complete "; }, SequenceTimeoutMs));
    AuditReading audit;
    QString error;
    ASSERT_TRUE(ReadAuditLog(log, {}, audit, &error)) << error.toStdString();
    ASSERT_EQ(audit.entries.size(), 1u);
    EXPECT_EQ(audit.entries[0].sent, "configuration (Send to unit)");
    EXPECT_EQ(audit.entries[0].port, "COM1");
    EXPECT_EQ(audit.entries[0].result, "done");
    ASSERT_FALSE(audit.entries[0].changes.empty());
    EXPECT_EQ(audit.entries[0].changes[0].oldValue, UnknownValue);
}

} // namespace quellix
