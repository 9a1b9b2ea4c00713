// The window's controls at their designed places (client pixels below the menu bar), and the wiring of
// their events to the handlers.
#include "Unit1.h"

#include "Controls.h"
#include "DataRecording.h"
#include "DesignLook.h"
#include "TtyLinkPort.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSessionManager>
#include <QSpinBox>
#include <QStatusBar>
#include <QVBoxLayout>

namespace quellix {

namespace {

constexpr int ClientWidth = 446;
constexpr int ClientHeight = 590;
constexpr int StatusWidth = 100; // " Receiving ", " Complete ", " Error "
constexpr int StatusIndent = 4;  // the status bar's text from the window's edge

template <class W> W* Named(W* widget, const QString& name, const QRect& place) {
    widget->setObjectName(name);
    widget->setGeometry(place);
    return widget;
}

// A panel with a one-pixel bevel, raised or lowered.
QFrame* MakePanel(QWidget* parent, const QString& name, const QRect& place, QFrame::Shadow shadow) {
    auto* panel = Named(new QFrame(parent), name, place);
    panel->setFrameStyle(QFrame::Panel | shadow);
    panel->setLineWidth(1);
    return panel;
}

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

void SetFaceColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// Texts come from files and the unit: never read as markup.
template <class L>
L* MakeLabel(QWidget* parent, const QString& name, const QRect& place, Qt::Alignment align) {
    auto* label = Named(new L(name, parent), name, place);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(align | Qt::AlignTop);
    return label;
}

// Where the font's line is taller than the designed label, the line sits on the label's bottom edge:
// the unused space above the capitals is cut instead of the descenders.
void KeepDescenders(QLabel* label) {
    if (label->sizeHint().height() > label->height())
        label->setAlignment((label->alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignBottom);
}

// A label sized to its text, as labels without a designed size are.
QLabel* MakeCaption(QWidget* parent, const QString& name, const QString& text, QPoint at) {
    auto* label = MakeLabel<QLabel>(parent, name, QRect(at, QSize()), Qt::AlignLeft);
    label->setText(text);
    label->adjustSize();
    return label;
}

TClickLabel* MakeEditableLabel(QWidget* parent, const QString& name, const QRect& place,
                               Qt::Alignment align) {
    auto* label = MakeLabel<TClickLabel>(parent, name, place, align);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

} // namespace

TForm1::TForm1(std::unique_ptr<TUserDialogs> dialogs, QWidget* parent)
    : QMainWindow(parent),
      Dialogs(std::make_unique<TStoppableDialogs>(dialogs ? std::move(dialogs) : MakeQtUserDialogs())),
      FormStorage1(this, QStringLiteral("TForm1")) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quellix Config V1.0"));
    // The installed icon of the desktop's theme; run from the build tree, the one built in. The windows
    // and boxes the window owns show it too.
    setWindowIcon(QIcon::fromTheme(QStringLiteral("quellix"), QIcon(QStringLiteral(":/icons/quellix.svg"))));

    ComPort1.setObjectName(QStringLiteral("ComPort1"));
    ComPort1.CommPort = TCommPort::Com2;
    setUnitLineSettings(ComPort1);

    BuildWindow();
    buildTimers();
    BuildKeyboard();
    ConnectHandlers();
    // The order in which the form-state file has always held the marks.
    for (const int n : {2, 1, 3, 4})
        FormStorage1.AddStoredMark(QStringLiteral("Com_%1_Checked").arg(n), Control<QAction>("Com_", n));
    FitSizeToState();
}

void TForm1::BuildWindow() {
    BuildMenu();
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Client"));
    client->setMinimumSize(ClientWidth, ClientHeight);
    client->setFont(DesignFont(MsSansSerif, 11));
    SetFaceColour(client, ButtonFaceColour());
    setCentralWidget(client);

    // The line under the menu bar spans the client area at any width.
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    auto* bevel = new QFrame(client);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    bevel->setFixedHeight(2);
    column->addWidget(bevel);
    column->addStretch();

    BuildHeaderPanel(client);
    for (int n = 1; n <= ChannelCount; ++n)
        BuildChannelPanel(client, n);
    BuildLinkControls(client);
    BuildStatusBar();
}

// The designed items keep their texts; mnemonics, shortcuts, the Edit and Help menus and Quit are
// what a desktop user expects around them. The shortcuts are the same on every desktop, as documented,
// rather than the platform's standard keys, which differ (Quit has none on some).
void TForm1::BuildMenu() {
    const auto item = [](QMenu* menu, const char* name, const QString& caption,
                         const QKeySequence& keys = {}) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(keys);
        return action;
    };
    const auto bar = [this](const char* name, const QString& caption) {
        QMenu* menu = menuBar()->addMenu(caption);
        menu->setObjectName(QString::fromLatin1(name));
        return menu;
    };
    QMenu* file = bar("File1", QStringLiteral("&File"));
    item(file, "Open1", QStringLiteral("&Open"), QKeySequence(Qt::CTRL | Qt::Key_O));
    item(file, "Close1", QStringLiteral("&Close"));
    item(file, "Save1", QStringLiteral("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S));
    item(file, "SaveAs1", QStringLiteral("Save &As"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    file->addSeparator();
    item(file, "Compare1", QStringLiteral("Co&mpare\u2026"));
    item(file, "Print1", QStringLiteral("&Print\u2026"), QKeySequence(Qt::CTRL | Qt::Key_P));
    item(file, "ExportPdf1", QStringLiteral("&Export PDF\u2026"));
    file->addSeparator();
    item(file, "Quit1", QStringLiteral("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    BuildUndo(bar("Edit1", QStringLiteral("&Edit")));
    QMenu* data = bar("Data1", QStringLiteral("&Data"));
    item(data, "SetDefaults1", QStringLiteral("Set &Defaults"));
    item(data, "Calibrate1", QStringLiteral("&Calibrate\u2026"));
    Recording = std::make_unique<TDataRecording>(this, data, Block, *Dialogs);
    addLinkListener(*Recording);
    QMenu* setup = bar("Setup1", QStringLiteral("&Setup"));
    for (int n = 1; n <= PortCount; ++n) {
        QAction* com = setup->addAction(QStringLiteral("Com&%1").arg(n));
        com->setObjectName(QStringLiteral("Com_%1").arg(n));
        // Not exclusive: port selection clears the other marks itself.
        com->setCheckable(true);
    }
    setup->addSeparator();
    item(setup, "Ports1", QStringLiteral("&Ports\u2026"));
    item(setup, "LinkMonitor1", QStringLiteral("&Link Monitor\u2026"), QKeySequence(Qt::CTRL | Qt::Key_L));
    item(setup, "FindUnit1", QStringLiteral("&Find Unit\u2026"), QKeySequence(Qt::CTRL | Qt::Key_F));
    QMenu* help = bar("Help1", QStringLiteral("&Help"));
    item(help, "HelpContents1", QStringLiteral("Quellix Config &Help"), QKeySequence(Qt::Key_F1));
    help->addSeparator();
    item(help, "About1", QStringLiteral("&About"));
}

void TForm1::BuildHeaderPanel(QWidget* client) {
    auto* outer = MakePanel(client, QStringLiteral("Panel9"), {8, 16, 145, 73}, QFrame::Sunken);
    auto* inner = MakePanel(outer, QStringLiteral("Panel10"), {8, 8, 129, 57}, QFrame::Raised);
    SetFaceColour(inner, clBlack);
    for (const int row : {1, 2}) {
        auto* header = MakeEditableLabel(inner, QStringLiteral("Header_%1").arg(row),
                                         {8, 2 + 24 * (row - 1), 113, 25}, Qt::AlignLeft);
        header->setFont(DesignFont(ArialNarrow, 21));
        SetTextColour(header, clSilver);
    }
}

// One channel panel; called once per channel, every control named with the channel's number.
void TForm1::BuildChannelPanel(QWidget* client, int n) {
    const QString ch = QString::number(n);
    auto* panel = MakePanel(client, QStringLiteral("Panel%1").arg(2 * n - 1), {8, 96 + 80 * (n - 1), 433, 73},
                            QFrame::Sunken);
    auto* inner = MakePanel(panel, QStringLiteral("Panel%1").arg(2 * n), {8, 8, 129, 57}, QFrame::Raised);

    MakeEditableLabel(inner, "Tag_" + ch, {8, 2, 113, 25}, Qt::AlignLeft)
        ->setFont(DesignFont(ArialNarrow, 21));
    auto* units = MakeEditableLabel(inner, "Units_" + ch, {96, 33, 32, 13}, Qt::AlignLeft);
    units->setFont(DesignFont(MsSansSerif, 12));
    KeepDescenders(units);
    auto* value = MakeLabel<QLabel>(inner, "MeasuredValue_" + ch, {4, 25, 90, 30}, Qt::AlignRight);
    value->setFont(DesignFont(Arial, 27, true));
    SetTextColour(value, clPurple);
    KeepDescenders(value);

    MakeCaption(panel, "DecimalCaption_" + ch, QStringLiteral("Decimal"), {144, 8});
    MakeCaption(panel, "MeasuredCaption_" + ch, QStringLiteral("Measured"), {264, 8});
    MakeCaption(panel, "SetCaption_" + ch, QStringLiteral("Set"), {336, 8});
    MakeCaption(panel, "RequiredCaption_" + ch, QStringLiteral("Required"), {376, 8});

    auto* decimal = Named(new QSpinBox(panel), "Decimal_" + ch, {144, 24, 41, 21});
    decimal->setRange(0, 4);
    Named(new QCheckBox(QStringLiteral("Disable"), panel), "Disable_" + ch, {144, 48, 73, 17});

    const QFont bold = DesignFont(MsSansSerif, 11, true);
    auto* raw = MakeLabel<QLabel>(panel, "Raw_" + ch, {208, 40, 44, 13}, Qt::AlignRight);
    raw->setFont(bold);
    SetTextColour(raw, clNavy);
    for (const int point : {1, 2}) {
        const int top = point == 1 ? 28 : 48;
        auto* measured = MakeEditableLabel(panel, QStringLiteral("Measured%1_").arg(point) + ch,
                                           {256, top, 60, 16}, Qt::AlignRight);
        measured->setFont(bold);
        SetTextColour(measured, clNavy);
        Named(new QPushButton(panel), QStringLiteral("Set_%1_").arg(point) + ch,
              {336, point == 1 ? 24 : 48, 17, 17});
        auto* calib = MakeEditableLabel(panel, QStringLiteral("Calib%1_").arg(point) + ch, {360, top, 60, 16},
                                        Qt::AlignRight);
        calib->setFont(bold);
        SetTextColour(calib, clPurple);
    }
}

void TForm1::BuildLinkControls(QWidget* client) {
    auto* configuration = Named(new QGroupBox(QStringLiteral("Configuration"), client),
                                QStringLiteral("GroupBox1"), {8, 416, 433, 81});
    Button13 = Named(new QPushButton(QStringLiteral("Read from unit"), configuration),
                     QStringLiteral("Button13"), {16, 24, 91, 25});
    Button13->setEnabled(false);
    Button14 = Named(new QPushButton(QStringLiteral("Send to unit"), configuration),
                     QStringLiteral("Button14"), {134, 24, 91, 25});
    // The link rewrites these texts; their widths take the longest of them.
    Label8 = MakeCaption(configuration, QStringLiteral("Label8"), QStringLiteral("----"), {16, 56});
    Label8->resize(StatusWidth, Label8->height());
    Label1 = MakeCaption(configuration, QStringLiteral("Label1"), QStringLiteral("----"), {136, 56});
    Label1->resize(StatusWidth, Label1->height());
    swVersion =
        MakeCaption(configuration, QStringLiteral("swVersion"), QStringLiteral("swVersion"), {264, 24});
    swVersion->resize(configuration->width() - 8 - swVersion->x(), swVersion->height());

    auto* measurements = Named(new QGroupBox(QStringLiteral("Measurements"), client),
                               QStringLiteral("GroupBox2"), {8, 504, 433, 81});
    Button12 = Named(new QPushButton(QStringLiteral("Read from unit"), measurements),
                     QStringLiteral("Button12"), {16, 24, 89, 25});
    AutoSend = Named(new QCheckBox(QStringLiteral("Auto Read"), measurements), QStringLiteral("AutoSend"),
                     {136, 24, 97, 17});
}

// Below the designed client area, which keeps its size: the window grows by the bar's height.
void TForm1::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    PortStatus = new TElidedLabel(bar);
    PortStatus->setObjectName(QStringLiteral("PortStatus"));
    PortStatus->setContentsMargins(StatusIndent, 0, StatusIndent, 0);
    // It takes the room the recording's state leaves; its device path gives way before its state.
    PortStatus->SetAsksForWholeText(false);
    bar->addWidget(PortStatus, 1);
    showPortStatus();
}

// Shortcuts of the link's controls (told in their tooltips), and a Tab order that reads each panel as
// it is laid out: the texts, the decimals and disable mark, then calibration point 1 and point 2.
void TForm1::BuildKeyboard() {
    const auto keys = [](QAbstractButton* button, const QKeySequence& sequence, const QString& tip) {
        button->setShortcut(sequence);
        button->setToolTip(tip + QStringLiteral(" (") + sequence.toString(QKeySequence::NativeText) + u')');
    };
    keys(Button13, QKeySequence(Qt::CTRL | Qt::Key_D), QStringLiteral("Reads the unit's configuration"));
    keys(Button14, QKeySequence(Qt::CTRL | Qt::Key_U),
         QStringLiteral("Sends this configuration to the unit, which stores it"));
    keys(Button12, QKeySequence(Qt::Key_F5), QStringLiteral("Reads the four channels once"));
    keys(AutoSend, QKeySequence(Qt::SHIFT | Qt::Key_F5),
         QStringLiteral("Reads the four channels every second"));

    QList<QWidget*> order{Control<QWidget>("Header_1"), Control<QWidget>("Header_2")};
    for (int n = 1; n <= ChannelCount; ++n) {
        for (const char* prefix : {"Tag_", "Units_", "Decimal_", "Disable_", "Measured1_", "Set_1_",
                                   "Calib1_", "Measured2_", "Set_2_", "Calib2_"})
            order << Control<QWidget>(QString::fromLatin1(prefix), n);
        for (const int point : {1, 2}) {
            auto* set = Control<QPushButton>(QStringLiteral("Set_%1_").arg(point), n);
            const QString what =
                QStringLiteral("Takes channel %1's raw reading as calibration point %2").arg(n).arg(point);
            set->setToolTip(what);
            set->setAccessibleName(what);
        }
    }
    order << Button13 << Button14 << Button12 << AutoSend;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

// Every event of the window's controls and components meets its handler here. Shared handlers get the
// control that raised the event and read the channel from its name.
void TForm1::ConnectHandlers() {
    const auto onClick = [this](TClickLabel* label, void (TForm1::*handler)(QObject*)) {
        connect(label, &TClickLabel::clicked, this, [this, label, handler] { (this->*handler)(label); });
        // From the keyboard the dialog opens under the label, where the user is looking.
        connect(label, &TClickLabel::keyPressed, this,
                [this, label] { EditLabel(label, label->mapToGlobal(QPoint(0, label->height()))); });
    };
    onClick(Control<TClickLabel>("Header_1"), &TForm1::Tag_1Click);
    onClick(Control<TClickLabel>("Header_2"), &TForm1::Tag_1Click);
    for (int n = 1; n <= ChannelCount; ++n) {
        onClick(Control<TClickLabel>("Tag_", n), &TForm1::Tag_1Click);
        onClick(Control<TClickLabel>("Units_", n), &TForm1::Tag_1Click);
        for (const char* prefix : {"Measured1_", "Measured2_", "Calib1_", "Calib2_"})
            onClick(Control<TClickLabel>(QString::fromLatin1(prefix), n), &TForm1::Calib1_1Click);
        connect(Control<QSpinBox>("Decimal_", n), &QSpinBox::valueChanged, this,
                [this] { Decimal_1Change(); });
        // Like the designed click event, a programmatic change raises it too; Updating silences it.
        connect(Control<QCheckBox>("Disable_", n), &QCheckBox::toggled, this, [this] { Decimal_1Change(); });
        for (const char* prefix : {"Set_1_", "Set_2_"}) {
            auto* button = Control<QPushButton>(QString::fromLatin1(prefix), n);
            connect(button, &QPushButton::clicked, this, [this, button] { Set_1_1Click(button); });
        }
    }
    connect(Control<QAction>("Open1"), &QAction::triggered, this, [this] { Open1Click(); });
    connect(Control<QAction>("Save1"), &QAction::triggered, this, [this] { Save1Click(); });
    connect(Control<QAction>("SaveAs1"), &QAction::triggered, this, [this] { SaveAs1Click(); });
    connect(Control<QAction>("SetDefaults1"), &QAction::triggered, this, [this] { SetDefaults1Click(); });
    for (int n = 1; n <= PortCount; ++n) {
        auto* com = Control<QAction>("Com_", n);
        connect(com, &QAction::triggered, this, [this, com] { Com_1Click(com); });
    }
    connect(Control<QAction>("Ports1"), &QAction::triggered, this, [this] { Ports1Click(); });
    connect(Control<QAction>("LinkMonitor1"), &QAction::triggered, this, [this] { LinkMonitor1Click(); });
    connect(Control<QAction>("FindUnit1"), &QAction::triggered, this, [this] { FindUnit1Click(); });
    connect(Control<QAction>("Compare1"), &QAction::triggered, this, [this] { Compare1Click(); });
    connect(Control<QAction>("Calibrate1"), &QAction::triggered, this, [this] { Calibrate1Click(); });
    connect(Control<QAction>("Print1"), &QAction::triggered, this, [this] { Print1Click(); });
    connect(Control<QAction>("ExportPdf1"), &QAction::triggered, this, [this] { ExportPdf1Click(); });
    connect(Control<QAction>("Quit1"), &QAction::triggered, this, &QWidget::close);
    connect(Control<QAction>("HelpContents1"), &QAction::triggered, this, [this] { Help1Click(); });
    connect(Control<QAction>("About1"), &QAction::triggered, this, [this] { About1Click(); });
    connectPortSession();
    connectLink();
    // However the application ends, the window closes in order first.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &TForm1::ApplicationQuitting);
#if QT_CONFIG(sessionmanager)
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
        bool granted = false;
        CommitSessionData([&manager, &granted] {
            granted = manager.allowsInteraction();
            return granted;
        });
        if (granted)
            manager.release();
    });
#endif
}

// The designed client area between the menu bar and the status bar.
QSize TForm1::DesignSize() const {
    return {ClientWidth,
            menuBar()->heightForWidth(ClientWidth) + ClientHeight + statusBar()->sizeHint().height()};
}

// The user cannot resize the normal window by dragging; a maximized one fills the screen.
void TForm1::FitSizeToState() {
    if (windowState() & Qt::WindowMaximized) {
        setMinimumSize(DesignSize());
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else {
        setFixedSize(DesignSize());
    }
}

void TForm1::CentreOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect place(QPoint(), DesignSize());
    place.moveCenter(screen->availableGeometry().center());
    move(place.topLeft());
}

} // namespace quellix
