#include "Unit2.h"

#include "DesignLook.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

namespace quellix {

namespace {
constexpr int SelectedChars = 20; // all of any stored tag, units or header text
}

TForm2::TForm2(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), Edit2(new QLineEdit(this)),
      BitBtn1(new QPushButton(QStringLiteral("Cancel"), this)),
      BitBtn2(new QPushButton(QStringLiteral("OK"), this)) {
    setObjectName(QStringLiteral("Form2"));
    setFixedSize(194, 82);
    setFont(DesignFont(MsSansSerif, 11));
    QPalette face = palette();
    face.setColor(QPalette::Window, ButtonFaceColour());
    setPalette(face);
    setAutoFillBackground(true);

    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(8, 8, 177, 28);
    Edit2->setFont(DesignFont(MsSansSerif, 16));

    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(16, 48, 75, 25);
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(112, 48, 75, 25);
    BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    BitBtn2->setDefault(true);

    setTabOrder(Edit2, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::accept);
}

void TForm2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

// Each time the dialog opens: typing replaces the first 20 characters.
void TForm2::FormShow() {
    Edit2->setFocus(Qt::OtherFocusReason);
    Edit2->setSelection(0, SelectedChars);
}

} // namespace quellix
