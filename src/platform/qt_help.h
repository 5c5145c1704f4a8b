#pragma once
#include <QUrl>
#include <QWidget>

class QTextBrowser;

// The program's own help viewer, for a desktop without one: the HTML pages
// with their links, Back, Forward and Contents.
class THelpWindow : public QWidget {
    Q_OBJECT
  public:
    explicit THelpWindow(QWidget* parent = nullptr);
    // Shows `page` (a local file, with or without "#anchor"); false when the
    // file cannot be read.
    bool showPage(const QUrl& page);
    QTextBrowser* browser() const { return browser_; }

  private:
    QTextBrowser* browser_;
    QUrl home_;
};
