// The Help menu: the manual in the desktop's viewer, and the About box.
#include "Unit1.h"

#include "About.h"
#include "FormState.h"
#include "Manual.h"

#include <QCoreApplication>

namespace quellix {

void TForm1::Help1Click() {
    const ManualPage page = FindManualPage(QCoreApplication::applicationDirPath());
    const HelpViewer viewer = ChooseHelpViewer(page, SystemHelpDesktop());
    if (!viewer.Found() || !Dialogs->StartHelpViewer(viewer))
        ShowMessage(QStringLiteral("Quellix Config Help"), ManualWhereText(page));
}

void TForm1::About1Click() {
    const ManualPage page = FindManualPage(QCoreApplication::applicationDirPath());
    const QString manual =
        page.path.isEmpty() ? QStringLiteral("quellix(1), not found beside the program") : page.path;
    // Before the first show there is no start-up directory, hence no autosave file yet.
    const QString autosave = StartDir.isEmpty() ? QStringLiteral("none yet") : AutosavePath();
    Dialogs->ShowAbout(this, AboutText(FormStateFilePath(), autosave, manual));
}

} // namespace quellix
