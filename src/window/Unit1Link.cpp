// Where the device link meets the window: its buttons, timers and received batches drive it, and it
// drives the port, the reply timers, the status labels and the redraw.
#include "Unit1.h"

#include "Charset.h"
#include "UndoCommands.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QTimer>

namespace quellix {

void TForm1::ConnectLink() {
    connect(Button12, &QPushButton::clicked, this, [this] { Link.Button12Click(); });
    connect(Button13, &QPushButton::clicked, this, [this] {
        UndoCommands->ReadFromUnitClicked();
        Link.Button13Click();
    });
    connect(Button14, &QPushButton::clicked, this, [this] { Link.Button14Click(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Link.Timer1Timer(); });
    // While the port's device is gone, Auto Read stays ticked but asks nothing: each request would hold
    // the window for its pause in vain.
    connect(Timer2, &QTimer::timeout, this, [this] {
        Link.Timer2Timer(AutoSend->isChecked() && Session.state() != PortSession::State::Gone);
    });
    connect(Timer3, &QTimer::timeout, this, [this] { Link.Timer3Timer(); });
    connect(Timer4, &QTimer::timeout, this, [this] { Link.Timer4Timer(); });
    ComPort1.OnReceiveString = [this](const QByteArray& s) { ComPort1ReceiveString(s); };
}

void TForm1::ComPort1ReceiveString(const QByteArray& s) {
    Link.ReceiveString(std::string_view(s.constData(), static_cast<std::size_t>(s.size())));
}

// A blocking sleep, as designed: no click, timer or received batch is handled meanwhile.
void TForm1::Pause(int ms) {
    QThread::msleep(static_cast<unsigned long>(ms));
}

bool TForm1::WriteCommData(const std::uint8_t* data, std::uint16_t length) {
    return ComPort1.WriteCommData(reinterpret_cast<const char*>(data), length);
}

void TForm1::SetReplyTimer(LinkTimer which, bool enabled, int intervalMs) {
    QTimer* timer = which == LinkTimer::Timer1 ? Timer1 : Timer4;
    timer->stop();
    timer->setInterval(intervalMs);
    if (enabled)
        timer->start();
}

void TForm1::RestartStalenessTimer() {
    Timer3->stop();
    Timer3->setInterval(StalenessIntervalMs);
    Timer3->start();
}

// The caption sits on its colour, as an auto-sized label shows it.
void TForm1::SetStatus(StatusLabel which, const std::string& caption, StatusColour colour) {
    QLabel* label = which == StatusLabel::Label1 ? Label1 : Label8;
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(StatusRgb(colour)));
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    label->setText(FromWin1252(caption));
    label->adjustSize();
}

void TForm1::ShowVersion(const std::string& caption) {
    swVersion->setText(FromWin1252(caption));
}

std::string TForm1::LabelText(const std::string& objectName) {
    return ToWin1252(Control<QLabel>(QString::fromStdString(objectName))->text());
}

void TForm1::BlockToWindow() {
    BlockToWindow(Block);
}

} // namespace quellix
