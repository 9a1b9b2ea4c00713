#include "FormStorage.h"

#include "FormState.h"
#include "MemIniFile.h"

#include <QAction>
#include <QScreen>
#include <QWidget>

namespace quellix {

namespace {

QString Quad(int a, int b, int c, int d) {
    return QStringLiteral("%1,%2,%3,%4").arg(a).arg(b).arg(c).arg(d);
}

// The outer rectangle of the window in its normal state, as left, top, right, bottom.
QString NormalRect(const QWidget* form) {
    const QRect inner =
        form->isMinimized() || form->isMaximized() ? form->normalGeometry() : form->geometry();
    const QRect frame = form->frameGeometry();
    const QRect now = form->geometry();
    const QMargins border(now.left() - frame.left(), now.top() - frame.top(), frame.right() - now.right(),
                          frame.bottom() - now.bottom());
    const QRect outer = inner.marginsAdded(border);
    return Quad(outer.left(), outer.top(), outer.left() + outer.width(), outer.top() + outer.height());
}

} // namespace

TFormStorage::TFormStorage(QWidget* form, QString section) : form_(form), section_(std::move(section)) {}

void TFormStorage::AddStoredMark(const QString& key, QAction* item) {
    marks_.append({key, item});
}

bool TFormStorage::RestoreFormPlacement(QString* error) {
    restored_ = true;
    const TMemIniFile ini(FormStateFilePath());
    if (ini.Unreadable()) {
        unreadable_ = true;
        if (error)
            *error = ini.ReadError();
        return false;
    }
    if (ini.ReadInteger(section_, u"FormVersion", 0) < 0)
        return true;
    switch (ShowStateFromShowCmd(ini.ReadInteger(section_, u"ShowCmd", 0))) {
    case TShowState::Normal:
        break;
    case TShowState::Maximized:
        form_->setWindowState(Qt::WindowMaximized);
        break;
    case TShowState::Minimized:
        // The program has one window, so minimizing it is minimizing the program.
        form_->setWindowState(Qt::WindowMinimized);
        break;
    }
    for (const auto& [key, item] : marks_) {
        if (const auto mark = ReadMark(ini.ReadString(section_, key).value_or(QString())))
            item->setChecked(*mark);
    }
    return true;
}

bool TFormStorage::SaveFormPlacement(bool destroying, QString* error) {
    saved_ = true;
    if (unreadable_)
        return true;
    TMemIniFile ini(FormStateFilePath());
    const Qt::WindowStates state = form_->windowState();
    // Windows' "restore to maximized" flag: minimized from the maximized state.
    const bool restoreToMaximized = (state & Qt::WindowMinimized) && (state & Qt::WindowMaximized);
    const QScreen* screen = form_->screen();
    const int dpi = screen ? qRound(screen->logicalDotsPerInch()) : 96;
    const QPoint maxPos = form_->isMaximized() ? form_->frameGeometry().topLeft() : QPoint(-1, -1);

    ini.WriteString(section_, QStringLiteral("FormVersion"), QStringLiteral("0"));
    ini.WriteString(section_, QStringLiteral("Flags"), QString::number(restoreToMaximized ? 2 : 0));
    ini.WriteString(section_, QStringLiteral("ShowCmd"), QString::number(ShowCmdFromWindowState(state)));
    ini.WriteString(section_, QStringLiteral("PixelsPerInch"), QString::number(dpi));
    ini.WriteString(section_, QStringLiteral("MinMaxPos"), Quad(-1, -1, maxPos.x(), maxPos.y()));
    ini.WriteString(section_, QStringLiteral("NormPos"), NormalRect(form_));
    ini.WriteString(section_, QStringLiteral("Visible"),
                    destroying ? QStringLiteral("1") : QStringLiteral("0"));
    for (const auto& [key, item] : marks_)
        ini.WriteString(section_, key, MarkText(item->isChecked()));
    return ini.UpdateFile(error);
}

} // namespace quellix
