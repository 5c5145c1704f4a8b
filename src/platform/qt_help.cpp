#include "platform/qt_help.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle("Nocteris Help");
    browser_ = new QTextBrowser(this);
    browser_->setOpenLinks(true);
    browser_->setOpenExternalLinks(true);
    auto* back = new QPushButton("Back", this);
    auto* forward = new QPushButton("Forward", this);
    auto* contents = new QPushButton("Contents", this);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
    connect(contents, &QPushButton::clicked, this, [this] {
        if (home_.isValid()) browser_->setSource(home_);
    });
    connect(browser_, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = browser_->documentTitle();
        setWindowTitle(title.isEmpty() ? "Nocteris Help" : title + " - Nocteris Help");
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addWidget(contents);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser_, 1);

    // A readable page: 80 columns of text, most of the screen's height.
    const QFontMetrics fm(font());
    QSize size(fm.averageCharWidth() * 90, fm.height() * 40);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        size = size.boundedTo(s->availableSize() * 9 / 10);
    resize(size);
}

bool THelpWindow::showPage(const QUrl& page) {
    const QFileInfo file(page.toLocalFile());
    if (!file.isFile() || !file.isReadable()) return false;
    if (!home_.isValid()) home_ = QUrl::fromLocalFile(file.absolutePath() + "/index.html");
    browser_->setSource(page);
    show();
    raise();
    activateWindow();
    return true;
}
