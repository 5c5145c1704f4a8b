#include "app/main_window.h"

#include "analysis/analysis_state.h"
#include "analysis/photometry_dialog.h"
#include "analysis/row_plot_dialog.h"
#include "app/app_logic.h"
#include "dialogs/controls.h"
#include "dialogs/dib_image.h"
#include "display/dib.h"
#include "display/display_pipeline.h"
#include "display/image_store.h"
#include "platform/command_ids.h"
#include "platform/host_path.h"
#include "platform/messages.h"
#include "processing/merge_dialog.h"
#include "resources/toolbar_icons.h"
#include "settings/settings.h"
#include "star/star_state.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

// ---------------------------------------------------------------- frame

TNocterisFrame::TNocterisFrame(TNocterisWindow* client) : client_(client) {
    client_->setFrame(this);
    buildMenus();
    buildToolBar();

    // The hint line sits at the top, under the tool bar, with the keyboard
    // state indicators at its right.
    auto* central = new QWidget(this);
    auto* box = new QVBoxLayout(central);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    sb_ = new QStatusBar(central);
    sb_->setSizeGripEnabled(false);
    sb_->setObjectName("id_statusbar");
    const char* names[4] = {"CAP", "NUM", "SCRL", "OVR"};
    for (int i = 0; i < 4; ++i) {
        indicators_[i] = new QLabel(names[i], sb_);
        indicators_[i]->setFrameShape(QFrame::Panel);
        indicators_[i]->setFrameShadow(QFrame::Sunken);
        indicators_[i]->setEnabled(false);
        sb_->addPermanentWidget(indicators_[i]);
    }
    box->addWidget(sb_);
    box->addWidget(client_, 1);
    setCentralWidget(central);

    buildAccelerators();
    setWindowTitle("Nocteris");
    client_->SetCaption(client_->FileName().toLocal8Bit().constData());
    setGeometry(0, 0, 750, 500);
    updateEnablers();
}

void TNocterisFrame::showHint(const QAction* act) {
    sb_->showMessage(act ? act->statusTip() : QString());
}

bool TNocterisFrame::eventFilter(QObject* obj, QEvent* e) {
    // Hints show for greyed items and buttons too, which Qt's own status tips skip.
    if (auto* menu = qobject_cast<QMenu*>(obj); menu && e->type() == QEvent::MouseMove) {
        showHint(menu->actionAt(static_cast<QMouseEvent*>(e)->position().toPoint()));
    } else if (auto* button = qobject_cast<QToolButton*>(obj)) {
        if (e->type() == QEvent::Enter) showHint(button->defaultAction());
        if (e->type() == QEvent::Leave) showHint(nullptr);
    }
    return QMainWindow::eventFilter(obj, e);
}

void TNocterisFrame::buildMenus() {
    QMenu* current = nullptr;
    QString current_title;
    for (const auto& e : command_table()) {
        if (!e.popup) continue;
        QAction* act = nullptr;
        if (e.popup[0] == '\0') {
            // A command on the bar itself.
            act = menuBar()->addAction(QString::fromLatin1(e.label));
            current = nullptr;
            current_title.clear();
        } else {
            if (!current || current_title != e.popup) {
                current_title = e.popup;
                current = menuBar()->addMenu(current_title);
                connect(current, &QMenu::aboutToShow, this, &TNocterisFrame::updateEnablers);
                connect(current, &QMenu::hovered, this, &TNocterisFrame::showHint);
                current->installEventFilter(this);
            }
            QString text = QString::fromLatin1(e.label);
            if (e.shortcut) text += '\t' + QString::fromLatin1(e.shortcut);
            act = current->addAction(text);
            if (e.separator_after) current->addSeparator();
        }
        named(act, e.id);
        act->setStatusTip(command_hint(e.id));
        act->setCheckable(
            e.enabler == &TNocterisWindow::CeFit || e.enabler == &TNocterisWindow::CeBin ||
            e.enabler == &TNocterisWindow::CePickStar || e.enabler == &TNocterisWindow::CeColPal ||
            e.enabler == &TNocterisWindow::CeStretchPal);
        const int id = e.id;
        connect(act, &QAction::triggered, this, [this, id] { client_->dispatch(id); });
        menu_actions_.emplace(id, act);
    }
}

QAction* TNocterisFrame::addTool(int bitmap_id, int command) {
    QAction* act = cb_->addAction(toolbar_icon(bitmap_id), QString());
    act->setObjectName(QString("tool%1").arg(bitmap_id));
    act->setData(command);
    const QString hint = command_hint(command);
    act->setStatusTip(hint);
    act->setToolTip(hint.isEmpty() ? QString() : hint.trimmed());
    connect(act, &QAction::triggered, this, [this, command] { client_->dispatch(command); });
    if (QWidget* w = cb_->widgetForAction(act)) w->installEventFilter(this);
    tool_actions_[bitmap_id] = act;
    tool_by_command_.emplace(command, act);
    return act;
}

void TNocterisFrame::buildToolBar() {
    cb_ = new QToolBar(this);
    named(cb_, 32041);
    cb_->setMovable(false);
    cb_->setFloatable(false);
    cb_->setIconSize(QSize(24, 24));
    addToolBar(Qt::TopToolBarArea, cb_);

    addTool(CM_FILE_SAVE, CM_FILE_SAVE);
    addTool(CM_SAVE_AS_FITS, CM_FITS_SAVE);
    addTool(CM_FILE_OPEN, CM_FILE_OPEN);
    cb_->addSeparator();
    addTool(TB_CAMERA, CM_CAMERA_INTERFACE);
    cb_->addSeparator();
    addTool(TB_BIN_OFF, CM_BIN_DISPLAY);
    addTool(TB_BIN_ON, CM_BIN_DISPLAY);
    addTool(TB_STRETCH_ON, CM_STRETCH_ON);
    addTool(TB_STRETCH_OFF, CM_STRETCH_OFF);
    addTool(TB_STRETCH_MAX, CM_STRETCH_MAX);
    cb_->addSeparator();
    addTool(CM_INI, CM_INI);
    cb_->addSeparator();
    addTool(TB_PHOTOMETRY, CM_PHOTOMETRY);
    cb_->addSeparator();
    for (int id : {CM_CONTRAST_NORMAL, CM_CONTRAST_TOLVERN, CM_CONTRAST_POWER,
                   CM_CONTRAST_BACKGROUND, CM_UNSHARP, CM_MEDIAN})
        addTool(id, id);
    cb_->addSeparator();
    for (int id : {CM_SUBTRACT_IMAGE, CM_FLAT_IMAGE, CM_ADD_IMAGE}) addTool(id, id);
    addTool(CM_TELESCOPE_CONTROL, CM_TELESCOPE_CONTROL);

    swapBinButton(disp.bin_display);
    swapStretchButton(disp.max_stretch);
    showTelescopeButton(cfg.telescope != 'n');
}

void TNocterisFrame::buildAccelerators() {
    struct Accel {
        QKeySequence key;
        int id;
    };
    const Accel accels[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Z), CM_CAMERA_INTERFACE},
        {QKeySequence(Qt::CTRL | Qt::Key_G), CM_GUIDER_CAMERA},
        {QKeySequence(Qt::ALT | Qt::Key_X), CM_EXIT},
        {QKeySequence(Qt::CTRL | Qt::Key_H), CM_HISTOGRAM},
        {QKeySequence(Qt::CTRL | Qt::Key_L), CM_LABEL},
        {QKeySequence(Qt::CTRL | Qt::Key_Q), CM_SAVE_AS_FITS},
        {QKeySequence(Qt::CTRL | Qt::Key_P), CM_PICK_STAR},
        {QKeySequence(Qt::CTRL | Qt::Key_W), CM_FOCUS_FRAME},
        {QKeySequence(Qt::CTRL | Qt::Key_S), CM_FILE_SAVE},
        {QKeySequence(Qt::CTRL | Qt::Key_U), CM_UNDO},
        {QKeySequence(Qt::CTRL | Qt::Key_N), CM_CONTRAST_NORMAL},
        {QKeySequence(Qt::CTRL | Qt::Key_B), CM_CONTRAST_BACKGROUND},
        {QKeySequence(Qt::CTRL | Qt::Key_O), CM_FILE_OPEN},
        {QKeySequence(Qt::CTRL | Qt::Key_M), CM_STRETCH_MAX},
        // The Edit menu names Shift+Ins for Copy; make the label true.
        {QKeySequence(Qt::SHIFT | Qt::Key_Insert), CM_COPY},
    };
    for (const auto& a : accels) {
        auto* sc = new QShortcut(a.key, this);
        sc->setObjectName(QString("accel%1").arg(a.id));
        const int id = a.id;
        connect(sc, &QShortcut::activated, this, [this, id] { client_->dispatch(id); });
    }
}

QList<QAction*> TNocterisFrame::toolActions() const {
    QList<QAction*> shown;
    for (QAction* a : cb_->actions())
        if (a->isVisible()) shown << a;
    return shown;
}

QAction* TNocterisFrame::menuAction(int id) const {
    auto it = menu_actions_.find(id);
    return it == menu_actions_.end() ? nullptr : it->second;
}

QAction* TNocterisFrame::toolAction(int bitmap_id) const {
    auto it = tool_actions_.find(bitmap_id);
    return it == tool_actions_.end() ? nullptr : it->second;
}

void TNocterisFrame::updateEnablers() {
    for (auto& [id, act] : menu_actions_) {
        bool checked = false;
        act->setEnabled(client_->isEnabled(id, &checked));
        if (act->isCheckable()) act->setChecked(checked);
    }
    for (auto& [id, act] : tool_by_command_) act->setEnabled(client_->isEnabled(id));
}

void TNocterisFrame::showTelescopeButton(bool on) {
    tool_actions_[CM_TELESCOPE_CONTROL]->setVisible(on);
}

void TNocterisFrame::swapBinButton(bool on) {
    tool_actions_[TB_BIN_OFF]->setVisible(!on);
    tool_actions_[TB_BIN_ON]->setVisible(on);
}

void TNocterisFrame::swapStretchButton(bool on) {
    tool_actions_[TB_STRETCH_ON]->setVisible(!on);
    tool_actions_[TB_STRETCH_OFF]->setVisible(on);
}

bool TNocterisFrame::event(QEvent* e) {
    if (e->type() == QEvent::StatusTip) {
        sb_->showMessage(static_cast<QStatusTipEvent*>(e)->tip());
        return true;
    }
    return QMainWindow::event(e);
}

void TNocterisFrame::keyPressEvent(QKeyEvent* e) {
    // Lock keys are seen only as they are pressed in this window, so the
    // indicators follow those presses.
    const int map[4] = {Qt::Key_CapsLock, Qt::Key_NumLock, Qt::Key_ScrollLock, Qt::Key_Insert};
    for (int i = 0; i < 4; ++i)
        if (e->key() == map[i]) indicators_[i]->setEnabled(!indicators_[i]->isEnabled());
    QMainWindow::keyPressEvent(e);
}

// ---------------------------------------------------------------- window

TNocterisWindow::TNocterisWindow(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName("NocterisWindow");
    setFrameShape(QFrame::NoFrame);
    open_in_merge_mode = merge_open_in_merge_mode;
    viewport()->setMouseTracking(true);
    bkgnd_brush_ = QBrush(QColor(disp.back_r, disp.back_g, disp.back_b));
    horizontalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setRange(0, 200);
    verticalScrollBar()->setRange(0, 200);
    fit_ = 0;
    SetCaption("");
}

TNocterisWindow::~TNocterisWindow() = default;

void TNocterisWindow::dispatch(int id) {
    image = image_int;
    for (const auto& e : command_table()) {
        if (e.id != id) continue;
        if (!e.handler || !isEnabled(id)) return;
        (this->*e.handler)();
        if (frame_) frame_->updateEnablers();
        return;
    }
}

bool TNocterisWindow::isEnabled(int id, bool* checked) const {
    for (const auto& e : command_table()) {
        if (e.id != id) continue;
        bool c = false;
        bool enabled = e.handler != nullptr;
        if (e.enabler && !(this->*e.enabler)(c)) enabled = false;
        if (checked) *checked = c;
        return enabled;
    }
    return false;
}

void TNocterisWindow::SetCaption(const char* name) {
    file_name_ = name ? QString::fromLocal8Bit(name) : QString("(Untitled)");
    if (frame_) frame_->setWindowTitle("Nocteris - " + file_name_);
}

void TNocterisWindow::clear_messages() {
    ::clear_messages();
}

// ---------------------------------------------------------------- display

void TNocterisWindow::image_prepare() {
    DisplayImage();
    SetCaption(disp.image_name);
    write_bitmap();
    LoadBitmapFile(shown_bitmap_name());
}

void TNocterisWindow::write_bitmap() {
    write_display_bitmap();
}

int TNocterisWindow::LoadBitmapFile(const char* path) {
    static ::Dib d; // kept: the next rebuild reuses its pixel storage
    if (!load_dib(platform::host_path(path), d)) {
        messages(32);
        return 0;
    }
    SetupFromDib(dib_image(d));
    return 1;
}

void TNocterisWindow::SetupFromDib(const QImage& dib) {
    dib_ = dib;
    palette_ = dib.colorTable();
    bitmap_ = QPixmap::fromImage(dib);
    pixel_width_ = dib.width();
    pixel_height_ = dib.height();
    UpdatePalette(true);
    AdjustScroller(false);
}

void TNocterisWindow::UpdatePalette(bool alwaysRepaint) {
    // Colours are exact on every current display: a changed palette only
    // needs a repaint.
    if (alwaysRepaint) viewport()->update();
}

void TNocterisWindow::AdjustScroller(bool reset) {
    const QSize client = viewport()->size();
    if (fit_ || (pixel_width_ <= client.width() && pixel_height_ <= client.height())) {
        horizontalScrollBar()->setRange(0, 0);
        verticalScrollBar()->setRange(0, 0);
    } else {
        horizontalScrollBar()->setRange(0, std::max(0, pixel_width_ - client.width()));
        verticalScrollBar()->setRange(0, std::max(0, pixel_height_ - client.height()));
        horizontalScrollBar()->setPageStep(client.width());
        verticalScrollBar()->setPageStep(client.height());
    }
    if (reset) {
        horizontalScrollBar()->setValue(0);
        verticalScrollBar()->setValue(0);
    }
    viewport()->update();
}

void TNocterisWindow::PaintIt() {
    UpdatePalette(true);
    AdjustScroller(false);
}

QPointF TNocterisWindow::toScreen(double x, double y) const {
    if (fit_ && pixel_width_ > 0 && pixel_height_ > 0)
        return {x * viewport()->width() / pixel_width_, y * viewport()->height() / pixel_height_};
    return {x - horizontalScrollBar()->value(), y - verticalScrollBar()->value()};
}

QPoint TNocterisWindow::toImage(QPoint client) const {
    // Clicks name pixels of the bitmap, wherever it is scrolled to.
    if (fit_) return client;
    return {client.x() + horizontalScrollBar()->value(), client.y() + verticalScrollBar()->value()};
}

void TNocterisWindow::paintEvent(QPaintEvent*) {
    if (disp.prep_image) {
        disp.screen_height = screen() ? screen()->geometry().height() : 0;
        disp.prep_image = 0;
        image_prepare();
    }
    if (disp.back_changed) {
        bkgnd_brush_ = QBrush(QColor(disp.back_r, disp.back_g, disp.back_b));
        disp.back_changed = 0;
    }
    QPainter p(viewport());
    const QRect client = viewport()->rect();
    if (!bitmap_.isNull()) {
        if (window() && window()->isMinimized()) {
            p.drawPixmap(client, bitmap_);
        } else if (fit_) {
            p.drawPixmap(client, bitmap_);
        } else {
            const int ox = -horizontalScrollBar()->value();
            const int oy = -verticalScrollBar()->value();
            p.drawPixmap(ox, oy, bitmap_);
            const int right = ox + pixel_width_;
            const int bottom = oy + pixel_height_;
            if (right < client.width())
                p.fillRect(QRect(right, 0, client.width() - right, client.height()), bkgnd_brush_);
            if (bottom < client.height())
                p.fillRect(
                    QRect(0, bottom, std::min(right, client.width()), client.height() - bottom),
                    bkgnd_brush_);
        }
    } else {
        p.fillRect(client, bkgnd_brush_);
    }

    image = image_int;
    // The row plot keeps its up-arrow for as long as it runs.
    if (!ana.photometry && !guide.pick_star && !ana.row_plot)
        viewport()->setCursor(Qt::ArrowCursor);

    if (guide.picked_star && guide.pick_star) {
        const double cx = disp.binned ? guide.pick_xcent / 2 : guide.pick_xcent;
        const double cy = disp.binned ? guide.pick_ycent / 2 : guide.pick_ycent;
        p.setPen(QPen(QColor(0, 255, 0), 1));
        p.drawLine(toScreen(cx - 20, cy), toScreen(cx + 20, cy));
        p.drawLine(toScreen(cx, cy - 20), toScreen(cx, cy + 20));
        guide.centre_it = 1;
        guide.cur_rad = cfg.star_mask;
    }

    if (disp.show_crosswires && disp.non_guiding && !disp.binned) {
        const bool half = disp.bin_display != 0;
        const int X = half ? disp.width1 / 4 : disp.width1 / 2;
        const int Y = half ? disp.height1 / 4 : disp.height1 / 2;
        const int W = half ? disp.width1 / 2 : disp.width1;
        const int H = half ? disp.height1 / 2 : disp.height1;
        p.setPen(QPen(QColor(255, 0, 0), 1));
        p.drawLine(toScreen(X - 8, 0), toScreen(X - 8, H));
        p.drawLine(toScreen(X + 8, 0), toScreen(X + 8, H));
        p.drawLine(toScreen(0, Y - 8), toScreen(W, Y - 8));
        p.drawLine(toScreen(0, Y + 8), toScreen(W, Y + 8));
    }
    p.end();
    build_histogram(image);
}

void TNocterisWindow::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    if (!window() || !window()->isMinimized()) AdjustScroller(false);
}

void TNocterisWindow::scrollContentsBy(int, int) {
    viewport()->update();
}

void TNocterisWindow::handleClick(QPoint client, bool right) {
    platform::Point pt{toImage(client).x(), toImage(client).y()};
    const ClickResult r = right ? right_button_up(pt) : left_button_up(pt);
    if (r == ClickResult::RepaintImage) PaintIt();
    if (r == ClickResult::Merge) merge_dialog_refresh();
    if (r == ClickResult::RowPlot) row_plot_refresh();
    if (r == ClickResult::Photometry) photometry_refresh();
    if (frame_) frame_->updateEnablers();
}

void TNocterisWindow::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) handleClick(e->position().toPoint(), false);
    if (e->button() == Qt::RightButton) handleClick(e->position().toPoint(), true);
}

void TNocterisWindow::mouseMoveEvent(QMouseEvent* e) {
    const QPoint p = toImage(e->position().toPoint());
    if (mouse_move({p.x(), p.y()})) photometry_refresh();
}

// ---------------------------------------------------------------- commands

// ---------------------------------------------------------------- enablers
