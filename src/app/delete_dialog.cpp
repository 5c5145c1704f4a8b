#include "app/delete_dialog.h"

#include "dialogs/controls.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TDeleteDialog::TDeleteDialog(QWidget* parent, const QString& path) : QDialog(parent) {
    setWindowTitle("DELETE FILE DIALOG");
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(20, 16, 20, 12);
    box->addWidget(new QLabel("Delete this file?", this));
    auto* edit = named(new QLineEdit(path, this), 101);
    edit->setReadOnly(true);
    edit->setMinimumWidth(std::max(320, edit->fontMetrics().horizontalAdvance(path) + 24));
    box->addWidget(edit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    named(buttons->button(QDialogButtonBox::Ok), 1);
    named(buttons->button(QDialogButtonBox::Cancel), 2);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    box->addWidget(buttons);
}
