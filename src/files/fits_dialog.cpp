#include "files/fits_dialog.h"

#include "dialogs/controls.h"
#include "files/fits.h"
#include "settings/settings.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <cstring>

namespace {

constexpr int SHORT_TEXT_MAX = 67;
constexpr int LONG_TEXT_MAX = 254;
constexpr int STAMP_MAX = 11; // date and time
constexpr int DIFF_LIMIT = 11;

// The detail fields are single-byte texts; characters outside Latin-1 become '?'.
QString from_field(const char* text, std::size_t size) {
    return QString::fromLatin1(text, static_cast<qsizetype>(strnlen(text, size)));
}

void to_field(const QString& text, char* field, std::size_t size, int max) {
    const QByteArray bytes = text.left(max).toLatin1();
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(bytes.size()), size - 1);
    std::memcpy(field, bytes.constData(), n);
    field[n] = '\0';
}

QLabel* label(const char* text) {
    auto* l = new QLabel(QString::fromUtf8(text));
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

} // namespace

TFITSDialog::TFITSDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("FITS DETAILS"));
    setModal(true);

    obj_ = line("FITS_Obj", SHORT_TEXT_MAX);
    obs_ = line("FITS_Obs", SHORT_TEXT_MAX);
    tel_ = line("FITS_Tel", SHORT_TEXT_MAX);
    ins_ = line("FITS_Ins", SHORT_TEXT_MAX);
    src_ = line("FITS_Src", SHORT_TEXT_MAX);
    filter_ = line("FITS_Filter", SHORT_TEXT_MAX);
    date_ = line("FITS_Date", STAMP_MAX);
    time_ = line("FITS_Time", STAMP_MAX);
    exptime_ = number("FITS_Exptime");
    focallen_ = number("FITS_Focallen");
    aperture_ = number("FITS_Aperture");
    com_ = block("FITS_Com");
    his_ = block("FITS_His");

    const int stamp_width = fontMetrics().horizontalAdvance(QStringLiteral("0000-00-000")) + 16;
    date_->setFixedWidth(stamp_width);
    time_->setFixedWidth(stamp_width);
    for (QLineEdit* e : {obj_, obs_, tel_, ins_, src_, filter_})
        e->setMinimumWidth(fontMetrics().averageCharWidth() * 44);

    diff_text_ = make_edit(nullptr, "FITS_Diff", {.right = true});
    diff_text_->setReadOnly(true);
    diff_text_->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("-000")) + 16);
    diff_bar_ = make_bar(nullptr, "FITS_Diff_bar", 160, 1);
    diff_bar_->setRange(-DIFF_LIMIT, DIFF_LIMIT);
    connect(diff_bar_, &QScrollBar::valueChanged, this,
            [this](int v) { diff_text_->setText(QString::number(v)); });

    eightbit_ = make_check(nullptr, "eightbit", QStringLiteral("8 bit integer (16 bit default)"));
    sbig_ = make_check(nullptr, "FITS_SBIG", QStringLiteral("Unsigned Integer Format"));
    // The flags follow the boxes at once, Abort or not.
    connect(eightbit_, &QCheckBox::toggled, this, [](bool on) { fits.eightbit = on ? 1 : 0; });
    connect(sbig_, &QCheckBox::toggled, this, [](bool on) { cfg.FITS_SBIG = on ? 1 : 0; });

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    int row = 0;
    auto wide = [&](const char* text, QWidget* w) {
        grid->addWidget(label(text), row, 0);
        grid->addWidget(w, row++, 1, 1, 5);
    };
    wide("Object:", obj_);
    wide("Observer:", obs_);
    wide("Telescope:", tel_);
    wide("Instrumentation:", ins_);
    wide("Origin:", src_);
    wide("Filter:", filter_);

    grid->addWidget(label("Date:"), row, 0);
    grid->addWidget(date_, row, 1);
    grid->addWidget(label("Time:"), row, 2);
    grid->addWidget(time_, row, 3, Qt::AlignLeft);
    ++row;
    grid->addWidget(label("Exposure (secs):"), row, 0);
    grid->addWidget(exptime_, row, 1);
    grid->addWidget(label("Focal Len (ins):"), row, 2);
    grid->addWidget(focallen_, row, 3);
    grid->addWidget(label("Aperture (Sq. ins):"), row, 4);
    grid->addWidget(aperture_, row, 5);
    ++row;

    auto* diff_row = new QHBoxLayout;
    diff_row->addWidget(diff_text_);
    diff_row->addWidget(diff_bar_);
    diff_row->addStretch();
    grid->addWidget(label("Time Difference to UT in Hrs:"), row, 0, 1, 2);
    grid->addLayout(diff_row, row++, 2, 1, 4);

    auto top_label = [](const char* text) {
        auto* l = label(text);
        l->setAlignment(Qt::AlignRight | Qt::AlignTop);
        return l;
    };
    grid->addWidget(top_label("Comments:"), row, 0);
    grid->addWidget(com_, row++, 1, 1, 5);
    grid->addWidget(top_label("History:"), row, 0);
    grid->addWidget(his_, row++, 1, 1, 5);
    grid->setColumnStretch(5, 1);

    auto* checks = new QHBoxLayout;
    checks->addWidget(eightbit_);
    checks->addSpacing(24);
    checks->addWidget(sbig_);
    checks->addStretch();

    auto* cont = named(new QPushButton(QStringLiteral("Continue")), "continue");
    cont->setDefault(true);
    auto* abort = named(new QPushButton(QStringLiteral("Abort")), "abort");
    connect(cont, &QPushButton::clicked, this, [this] {
        copy_back();
        accept();
    });
    connect(abort, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cont);
    buttons->addWidget(abort);

    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addSpacing(4);
    top->addLayout(checks);
    top->addSpacing(8);
    top->addLayout(buttons);

    fill();
}

QLineEdit* TFITSDialog::line(const char* name, int max) {
    QLineEdit* e = make_edit(nullptr, name);
    e->setMaxLength(max);
    return e;
}

QPlainTextEdit* TFITSDialog::block(const char* name) {
    auto* e = named(new QPlainTextEdit, name);
    e->setTabChangesFocus(true);
    e->setFixedHeight(fontMetrics().lineSpacing() * 3 + 12);
    return e;
}

QLineEdit* TFITSDialog::number(const char* name) {
    QLineEdit* e = make_edit(nullptr, name);
    e->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000.000000")) + 16);
    return e;
}

void TFITSDialog::fill() {
    obj_->setText(from_field(cfg.FITS_Obj, sizeof cfg.FITS_Obj));
    obs_->setText(from_field(cfg.FITS_Obs, sizeof cfg.FITS_Obs));
    date_->setText(from_field(fits.FITS_Date, sizeof fits.FITS_Date));
    time_->setText(from_field(fits.FITS_Time, sizeof fits.FITS_Time));
    src_->setText(from_field(cfg.FITS_Src, sizeof cfg.FITS_Src));
    tel_->setText(from_field(cfg.FITS_Tel, sizeof cfg.FITS_Tel));
    ins_->setText(from_field(cfg.FITS_Ins, sizeof cfg.FITS_Ins));
    filter_->setText(from_field(cfg.FITS_Filter, sizeof cfg.FITS_Filter));
    com_->setPlainText(from_field(cfg.FITS_Com, sizeof cfg.FITS_Com));
    his_->setPlainText(from_field(cfg.FITS_His, sizeof cfg.FITS_His));
    exptime_->setText(QString::asprintf("%f", fits.FITS_Exptime));
    focallen_->setText(QString::asprintf("%f", cfg.FITS_Focallen));
    aperture_->setText(QString::asprintf("%f", cfg.FITS_Aperture));

    const int diff =
        cfg.FITS_Diff >= -DIFF_LIMIT && cfg.FITS_Diff <= DIFF_LIMIT ? cfg.FITS_Diff : 0;
    diff_bar_->setValue(diff);
    diff_text_->setText(QString::number(diff));

    const QSignalBlocker b1(eightbit_), b2(sbig_);
    eightbit_->setChecked(fits.eightbit != 0);
    sbig_->setChecked(cfg.FITS_SBIG != 0);
}

void TFITSDialog::copy_back() {
    to_field(obj_->text(), cfg.FITS_Obj, sizeof cfg.FITS_Obj, SHORT_TEXT_MAX);
    to_field(obs_->text(), cfg.FITS_Obs, sizeof cfg.FITS_Obs, SHORT_TEXT_MAX);
    to_field(date_->text(), fits.FITS_Date, sizeof fits.FITS_Date, STAMP_MAX);
    to_field(time_->text(), fits.FITS_Time, sizeof fits.FITS_Time, STAMP_MAX);
    to_field(src_->text(), cfg.FITS_Src, sizeof cfg.FITS_Src, SHORT_TEXT_MAX);
    to_field(tel_->text(), cfg.FITS_Tel, sizeof cfg.FITS_Tel, SHORT_TEXT_MAX);
    to_field(ins_->text(), cfg.FITS_Ins, sizeof cfg.FITS_Ins, SHORT_TEXT_MAX);
    to_field(filter_->text(), cfg.FITS_Filter, sizeof cfg.FITS_Filter, SHORT_TEXT_MAX);
    // Line breaks typed into the long texts would not survive a header card.
    auto flat = [](const QPlainTextEdit* e) {
        QString t = e->toPlainText();
        t.replace(QLatin1Char('\n'), QLatin1Char(' '));
        return t;
    };
    to_field(flat(com_), cfg.FITS_Com, sizeof cfg.FITS_Com, LONG_TEXT_MAX);
    to_field(flat(his_), cfg.FITS_His, sizeof cfg.FITS_His, LONG_TEXT_MAX);
    fits_parse_number(exptime_->text().toLatin1().constData(), fits.FITS_Exptime);
    fits_parse_number(focallen_->text().toLatin1().constData(), cfg.FITS_Focallen);
    fits_parse_number(aperture_->text().toLatin1().constData(), cfg.FITS_Aperture);
    cfg.FITS_Diff = diff_bar_->value();
}

int run_fits_dialog(QWidget* parent) {
    TFITSDialog dialog(parent);
    return dialog.exec() == QDialog::Accepted ? 1 : 0;
}
