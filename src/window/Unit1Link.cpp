// Where the link driver meets the window: the buttons and the driver's timers call its intents, Auto
// Read and the port's state say whether the auto read sends, the upload's texts come from the labels,
// and the status and version labels and the redraw follow its signals.
#include "Unit1.h"

#include "Charset.h"
#include "UndoCommands.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace quellix {

namespace {

// The label whose text "Send to unit" sends for an item.
QString uploadLabelName(ItemCode code, std::uint8_t index) {
    const QString n = QString::number(index + 1);
    switch (code) {
    case ItemCode::Header1:
        return QStringLiteral("Header_1");
    case ItemCode::Header2:
        return QStringLiteral("Header_2");
    case ItemCode::TagName:
        return QStringLiteral("Tag_") + n;
    case ItemCode::UnitName:
        return QStringLiteral("Units_") + n;
    case ItemCode::Flags:
        break;
    }
    return {};
}

} // namespace

// The designed timers are the driver's; the window handles their events, as designed.
void TForm1::buildTimers() {
    Timer1 = link_.findChild<QTimer*>(QStringLiteral("Timer1"));
    Timer2 = link_.findChild<QTimer*>(QStringLiteral("Timer2"));
    Timer3 = link_.findChild<QTimer*>(QStringLiteral("Timer3"));
    Timer4 = link_.findChild<QTimer*>(QStringLiteral("Timer4"));
    link_.startReadoutTimers();
}

void TForm1::connectLink() {
    connect(Button12, &QPushButton::clicked, this, [this] { Button12Click(); });
    connect(Button13, &QPushButton::clicked, this, [this] { Button13Click(); });
    connect(Button14, &QPushButton::clicked, this, [this] { Button14Click(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    connect(Timer2, &QTimer::timeout, this, [this] { Timer2Timer(); });
    connect(Timer3, &QTimer::timeout, this, [this] { Timer3Timer(); });
    connect(Timer4, &QTimer::timeout, this, [this] { Timer4Timer(); });
    connect(AutoSend, &QCheckBox::toggled, this, [this] { followAutoSend(); });
    connect(&session_, &PortSession::portChanged, &link_, &LinkDriver::setPort);
    connect(&session_, &PortSession::stateChanged, this, [this] { followAutoSend(); });
    link_.setTextSource([this](ItemCode code, std::uint8_t index) {
        return ToWin1252(Control<QLabel>(uploadLabelName(code, index))->text());
    });
    connect(&link_, &LinkDriver::statusChanged, this, &TForm1::showLinkStatus);
    connect(&link_, &LinkDriver::versionChanged, swVersion, &QLabel::setText);
    connect(&link_, &LinkDriver::blockChanged, this, [this] { BlockToWindow(Block); });
    connectAudit();
}

void TForm1::Button12Click() {
    link_.readMeasurements();
}

void TForm1::Button13Click() {
    UndoCommands->ReadFromUnitClicked();
    link_.startDownload();
}

void TForm1::Button14Click() {
    if (!StartAudit(QStringLiteral("configuration (Send to unit)"), {}))
        return;
    link_.startUpload();
}

void TForm1::Timer1Timer() {
    link_.uploadReplyTimeout();
}

void TForm1::Timer2Timer() {
    link_.autoReadTick();
}

void TForm1::Timer3Timer() {
    link_.stalenessTimeout();
}

void TForm1::Timer4Timer() {
    link_.downloadReplyTimeout();
}

// While the port's device is gone, Auto Read stays ticked but asks nothing: each request would hold
// the window for its pause in vain.
void TForm1::followAutoSend() {
    link_.setAutoRead(AutoSend->isChecked() && session_.state() != PortSession::State::Gone);
}

// The caption sits on its colour, as an auto-sized label shows it.
void TForm1::showLinkStatus(LinkSequence sequence, const QString& caption, StatusColour colour) {
    QLabel* label = sequence == LinkSequence::Upload ? Label1 : Label8;
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(statusRgb(colour)));
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    label->setText(caption);
    label->adjustSize();
}

} // namespace quellix
