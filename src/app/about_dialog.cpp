#include "app/about_dialog.h"

#include "dialogs/controls.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TAboutDialog::TAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Help About Nocteris");
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(24, 20, 24, 16);
    box->setSpacing(10);
    const char* lines[] = {
        "Nocteris Guiding and Image processing software for use with Veltrane Nocteris Camera",
        "Version  -  1.2", "Date  -  09/08/2015"};
    for (const char* l : lines) {
        auto* label = new QLabel(l, this);
        label->setAlignment(Qt::AlignCenter);
        box->addWidget(label);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->setCenterButtons(true);
    named(buttons->button(QDialogButtonBox::Ok), 1);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    box->addWidget(buttons);
}
