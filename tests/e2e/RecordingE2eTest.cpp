// The real tool, headless, against the simulated unit with Auto Read on: every reply becomes one line
// of the recording and one point of the trend.
#include "E2eFixture.h"
#include "SimProcess.h"

#include <QCheckBox>
#include <QRegularExpression>
#include <QTableWidget>

namespace quellix {

namespace {

class RecordingE2e : public E2eTest {};

QStringList DataLines(const QString& path) {
    QStringList lines = QString::fromUtf8(TempDir::read(path)).split('\n', Qt::SkipEmptyParts);
    return lines.mid(1);
}

TEST_F(RecordingE2e, EachAutoReadReplyIsOneLineAndOnePointInTheTrend) {
    SimProcess sim({"--raw", "100,300,600,900"}, SimProcess::Port::LeaveClosed);
    ASSERT_TRUE(sim.started());
    StartOn(sim.path());
    ASSERT_TRUE(user->messages.isEmpty()) << user->messages.join(", ").toStdString();

    const QString path = start.file("readings.csv");
    user->saveAnswers << path;
    Trigger("Record1");
    EXPECT_EQ(Text("RecordingStatus"), "Recording readings.csv \u2014 0 lines");
    Trigger("Trend1");
    auto* stats = form->findChild<QTableWidget*>("Statistics");
    ASSERT_NE(stats, nullptr);

    auto* autoRead = Find<QCheckBox>("AutoSend");
    autoRead->setChecked(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return DataLines(path).size() >= 5; }, 30000));
    autoRead->setChecked(false);
    QTest::qWait(1500); // a reply still on its way is recorded too
    Trigger("StopRecording1");
    const QStringList lines = DataLines(path);
    EXPECT_GE(lines.size(), 5);
    EXPECT_EQ(Text("RecordingStatus"), QString("Recording readings.csv \u2014 %1 lines").arg(lines.size()))
        << "the last state shown while it ran";

    const QString header = QString::fromUtf8(TempDir::read(path)).section('\n', 0, 0);
    EXPECT_EQ(header, "Time,Tag 1 raw,Tag 1 (unit),Tag 2 raw,Tag 2 (unit),Tag 3 raw,Tag 3 (unit),Tag 4 raw,"
                      "Tag 4 (unit)");
    // Defaults: 1, 2, 3 and 0 decimals.
    const QRegularExpression line(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d,)"
                                  R"(100,-?\d+\.\d,300,-?\d+\.\d\d,600,-?\d+\.\d{3},900,-?\d+$)");
    for (const QString& l : lines)
        EXPECT_TRUE(line.match(l).hasMatch()) << l.toStdString();

    // The trend holds the same replies: one reading each in the channels' counts.
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row + 1);
        EXPECT_EQ(stats->item(row, 5)->text(), QString::number(lines.size()));
    }
    Close();
    EXPECT_FALSE(Find<QWidget>("TrendWindow")->isVisible()) << "the trend closes with the window";
}

} // namespace

} // namespace quellix
