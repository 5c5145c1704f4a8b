#include "platform/qt_progress.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include <algorithm>

TProgressDialog::TProgressDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Filter Progress");
    setModal(false);
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(16, 12, 16, 12);
    caption_ = new QLabel(this);
    caption_->setAlignment(Qt::AlignCenter);
    box->addWidget(caption_);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("0%", this));
    bar_ = new QProgressBar(this);
    bar_->setObjectName("id101");
    bar_->setRange(0, 256);
    bar_->setTextVisible(false);
    bar_->setMinimumWidth(260);
    row->addWidget(bar_, 1);
    row->addWidget(new QLabel("100%", this));
    box->addLayout(row);
}

void TProgressDialog::setCaption(const QString& caption) {
    caption_->setText(caption);
}

void TProgressDialog::setProgress(int value) {
    bar_->setValue(std::clamp(value, 0, 256));
}

int TProgressDialog::progress() const {
    return bar_->value();
}

QString TProgressDialog::caption() const {
    return caption_->text();
}
