// The edit dialog: a borderless box with one text box, Cancel and OK, shown modally for each label edit.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class QShowEvent;

namespace quellix {

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    QLineEdit* const Edit2;     // the text being edited
    QPushButton* const BitBtn1; // "Cancel", also Esc
    QPushButton* const BitBtn2; // "OK", the default button, also Enter

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
};

} // namespace quellix
