#include "NoDisplay.h"

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace quellix {

namespace {

struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};

QtMessageHandler previousHandler = nullptr;
bool displayOpen = false;
QList<HeldMessage>* held = nullptr;

void Forward(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (previousHandler)
        previousHandler(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

void HoldOrForward(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (displayOpen) {
        Forward(type, context, text);
        return;
    }
    if (type == QtFatalMsg) {
        std::fputs("quellix needs a graphical display; quellix-cli works without one\n", stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    held->append({type, context.category ? QByteArray(context.category) : QByteArray(), text});
}

// Runs while the application is being made, once its platform is up.
void DisplayOpened() {
    displayOpen = true;
    for (const HeldMessage& message : *held) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        Forward(message.type, context, message.text);
    }
    delete held;
    held = nullptr;
}

} // namespace

void ExplainMissingDisplay() {
    held = new QList<HeldMessage>;
    previousHandler = qInstallMessageHandler(HoldOrForward);
    qAddPreRoutine(DisplayOpened);
}

} // namespace quellix
