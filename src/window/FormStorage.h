// Keeps the main window's state and chosen check marks in the form-state file, section named after the
// window's class: restored once before the first show, saved when the window closes.
#pragma once

#include <QList>
#include <QPair>
#include <QString>

class QAction;
class QWidget;

namespace quellix {

class TFormStorage {
public:
    TFormStorage(QWidget* form, QString section);

    // A check mark kept under `key`; keys are written in the order they are added.
    void AddStoredMark(const QString& key, QAction* item);

    // Reads "FormVersion" and, when it is at least 0, "ShowCmd" and the marks, and applies them. False,
    // with `error` saying why, when the file is there but cannot be read: then it is never written.
    bool RestoreFormPlacement(QString* error = nullptr);
    // Writes the placement keys and the marks in their order; "Visible" is "1" when saved while the
    // window is destroyed. Keeps every other line of the file. False, with `error` saying why, when the
    // file cannot be written; a file that could not be read at the start is left alone (true).
    bool SaveFormPlacement(bool destroying, QString* error = nullptr);

    bool Restored() const { return restored_; }
    bool Saved() const { return saved_; }

private:
    QWidget* form_;
    QString section_;
    QList<QPair<QString, QAction*>> marks_;
    bool restored_ = false;
    bool saved_ = false;
    bool unreadable_ = false; // at the start: the file is kept as it is
};

} // namespace quellix
