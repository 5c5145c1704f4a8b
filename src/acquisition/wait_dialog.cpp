#include "acquisition/wait_dialog.h"

#include "dialogs/controls.h"

#include <QLabel>
#include <QVBoxLayout>

TWaitDialog::TWaitDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Nocteris  Information");
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(30, 24, 30, 24);
    QLabel* text = make_label(this, 101, "Initialisation in Progress");
    text->setAlignment(Qt::AlignCenter);
    layout->addWidget(text);
}
