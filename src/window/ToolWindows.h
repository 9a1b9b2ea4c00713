// Shows the tool windows beside the main window, the trend and the Link Monitor: where the user left
// them (kept in the form-state file under the window's object name), or beside the main window the
// first time.
#pragma once

class QWidget;

namespace quellix {

// Shows, raises and activates `tool`; placed on its first showing in this run.
void ShowToolWindow(QWidget* tool, const QWidget* main);
// Keeps where `tool` is and its size; for its close.
void KeepToolWindowPlace(const QWidget* tool);

} // namespace quellix
