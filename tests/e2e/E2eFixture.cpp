#include "E2eFixture.h"

#include <QLabel>

namespace quellix {

Q_LOGGING_CATEGORY(lcE2eTiming, "quellix.e2e.timing", QtWarningMsg)

TForm1& E2eTest::StartOn(const QString& device) {
    WriteFormState("[TForm1]\nCom_1_Checked=True\n[Ports]\nCOM1=" + device + "\n");
    return Start();
}

// The background of a status label, as #rrggbb.
QString E2eTest::Colour(const QString& labelName) const {
    const auto* label = Find<QLabel>(labelName);
    return label ? label->palette().color(QPalette::Window).name() : QString();
}

} // namespace quellix
