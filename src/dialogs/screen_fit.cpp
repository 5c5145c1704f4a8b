#include "dialogs/screen_fit.h"

#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr char FITTED[] = "nocterisFitted";

QRect free_area(const QWidget* w) {
    const QScreen* s = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect(0, 0, 800, 600);
}

// Room the window frame takes around the client area (none offscreen).
QSize frame_room(const QWidget* w) {
    const QSize frame = w->frameGeometry().size() - w->geometry().size();
    return frame.isValid() ? frame : QSize(0, 0);
}

} // namespace

void centre_on(QWidget* w, const QWidget* over) {
    const QRect area = free_area(w);
    const QSize size = w->frameGeometry().size();
    QPoint centre = over && over->isVisible() ? over->frameGeometry().center() : area.center();
    QPoint top_left(centre.x() - size.width() / 2, centre.y() - size.height() / 2);
    // Whole on the screen where it can be, its top-left corner always.
    top_left.setX(std::max(area.left(), std::min(top_left.x(), area.right() + 1 - size.width())));
    top_left.setY(std::max(area.top(), std::min(top_left.y(), area.bottom() + 1 - size.height())));
    w->move(top_left);
}

void fit_to_screen(QDialog* d) {
    const QSize room = free_area(d).size() - frame_room(d);
    d->ensurePolished();
    QSize want = d->size();
    if (QLayout* l = d->layout()) {
        l->activate();
        want = want.expandedTo(l->totalMinimumSize());
    }
    want = want.expandedTo(d->minimumSize()).expandedTo(d->minimumSizeHint());
    if (want.width() <= room.width() && want.height() <= room.height()) return;

    // The contents move into a scroll area; the dialog keeps its own size
    // rules no longer, only the screen's.
    auto* inner = new QWidget;
    if (QLayout* l = d->layout()) {
        inner->setLayout(l); // taken off the dialog, its widgets with it
    } else {
        for (QObject* o : d->children())
            if (auto* c = qobject_cast<QWidget*>(o); c && !c->isWindow()) c->setParent(inner);
        inner->setMinimumSize(want);
    }
    auto* area = new QScrollArea;
    area->setObjectName("dialogScroller");
    area->setFrameShape(QFrame::NoFrame);
    area->setWidget(inner);
    area->setWidgetResizable(true);
    auto* outer = new QVBoxLayout(d);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(area);
    d->setMinimumSize(0, 0);
    d->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    const int bar = d->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    d->resize(std::min(want.width() + bar, room.width()),
              std::min(want.height() + bar, room.height()));
}

bool ScreenFitter::eventFilter(QObject* obj, QEvent* ev) {
    if (ev->type() == QEvent::Show) {
        auto* d = qobject_cast<QDialog*>(obj);
        if (d && d->isWindow() && !d->property(FITTED).toBool()) {
            d->setProperty(FITTED, true);
            // After the dialog's own show handling, which may size it.
            QPointer<QDialog> guard(d);
            QPointer<QWidget> main = main_;
            QMetaObject::invokeMethod(
                d,
                [guard, main] {
                    if (!guard) return;
                    fit_to_screen(guard);
                    const QWidget* owner =
                        guard->parentWidget() ? guard->parentWidget()->window() : main.data();
                    centre_on(guard, owner);
                },
                Qt::QueuedConnection);
        }
    }
    return QObject::eventFilter(obj, ev);
}
