#include "acquisition/wait_dialog.h"

#include <QLabel>
#include <QVBoxLayout>

TWaitDialog::TWaitDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Nocteris  Information");
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(30, 24, 30, 24);
    auto* text = new QLabel("Initialisation in Progress", this);
    text->setObjectName("id101");
    text->setAlignment(Qt::AlignCenter);
    layout->addWidget(text);
}
