#include "ToolWindows.h"

#include "ToolWindowPlace.h"
#include "WindowLog.h"

#include <QScreen>
#include <QWidget>

namespace quellix {

namespace {
const char* const PlacedProperty = "quellixPlaced";
} // namespace

void ShowToolWindow(QWidget* tool, const QWidget* main) {
    const QScreen* screen = main->screen();
    if (!tool->property(PlacedProperty).toBool() && screen) {
        tool->setProperty(PlacedProperty, true);
        // Qt's restore keeps a window whose screen has gone within one that is there.
        if (!tool->restoreGeometry(ReadToolGeometry(tool->objectName()))) {
            // The tool's own frame is not known before it shows: the main window's is a fair guess.
            const QMargins frame(main->geometry().left() - main->frameGeometry().left(),
                                 main->geometry().top() - main->frameGeometry().top(),
                                 main->frameGeometry().right() - main->geometry().right(),
                                 main->frameGeometry().bottom() - main->geometry().bottom());
            const QSize extra(frame.left() + frame.right(), frame.top() + frame.bottom());
            const QRect place = PlaceBeside(main->frameGeometry(), tool->size() + extra,
                                            tool->minimumSizeHint() + extra, screen->availableGeometry());
            tool->move(place.topLeft());
            tool->resize(place.size() - extra);
        }
    }
    tool->show();
    tool->raise();
    tool->activateWindow();
}

void KeepToolWindowPlace(const QWidget* tool) {
    if (!WriteToolGeometry(tool->objectName(), tool->saveGeometry()))
        qCWarning(lcWindow) << "cannot keep the place of" << tool->objectName();
}

} // namespace quellix
