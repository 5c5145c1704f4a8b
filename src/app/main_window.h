#pragma once
#include <QAbstractScrollArea>
#include <QBrush>
#include <QImage>
#include <QMainWindow>
#include <QPixmap>
#include <QString>
#include <QVector>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QPrinter;
class QStatusBar;
class QToolBar;
class TNocterisWindow;

// One row of the command table: where the command appears and what runs it.
// A row without a handler belongs to a capability not built yet: its menu
// item and button are greyed out.
struct CommandEntry {
    int id;
    const char* popup; // menu popup title, "" for a command on the bar, nullptr for none
    const char* label;
    const char* shortcut;
    bool separator_after;
    void (TNocterisWindow::*handler)();
    // Returns whether the command is enabled; may set `checked`.
    bool (TNocterisWindow::*enabler)(bool& checked) const;
};

const std::vector<CommandEntry>& command_table();
const char* command_hint(int id);

// The help page ("file.html#camera") of a window or of the window it sits in;
// empty for the contents.
std::string help_page_for(const QWidget* window);

// F1 in any of the program's windows opens the help page of the active one.
class HelpKeyFilter : public QObject {
    Q_OBJECT
  protected:
    bool eventFilter(QObject* obj, QEvent* ev) override;
};

// The decorated frame: menu bar, tool bar and status bar at the top, and the
// image window as client.
class TNocterisFrame : public QMainWindow {
    Q_OBJECT
  public:
    explicit TNocterisFrame(TNocterisWindow* client);
    TNocterisWindow* client() const { return client_; }
    QToolBar* toolBar() const { return cb_; }
    QStatusBar* hintBar() const { return sb_; }
    // The actions of the tool bar, in order, separators included.
    QList<QAction*> toolActions() const;
    QAction* menuAction(int id) const;
    QAction* toolAction(int bitmap_id) const;
    void updateEnablers();
    void showTelescopeButton(bool on);
    void swapBinButton(bool on);
    void swapStretchButton(bool on);

    void showHint(const QAction* act);

  protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* obj, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    void buildMenus();
    void buildToolBar();
    void buildAccelerators();
    QAction* addTool(int bitmap_id, int command);

    TNocterisWindow* client_;
    QToolBar* cb_ = nullptr;
    QStatusBar* sb_ = nullptr;
    QLabel* indicators_[4] = {};
    std::multimap<int, QAction*> menu_actions_;    // by command id
    std::map<int, QAction*> tool_actions_;         // by bitmap id
    std::multimap<int, QAction*> tool_by_command_; // by command id
};

class TNocterisWindow : public QAbstractScrollArea {
    Q_OBJECT
  public:
    explicit TNocterisWindow(QWidget* parent = nullptr);
    ~TNocterisWindow() override;

    void setFrame(TNocterisFrame* f) { frame_ = f; }
    TNocterisFrame* frame() const { return frame_; }

    // Every command id goes through here, internal ones included.
    void dispatch(int id);
    bool isEnabled(int id, bool* checked = nullptr) const;

    void SetCaption(const char* name);
    void clear_messages();

    // Display (image store to screen).
    void image_prepare();
    void write_bitmap();
    int LoadBitmapFile(const char* path);
    void SetupFromDib(const QImage& dib);
    void UpdatePalette(bool alwaysRepaint);
    void AdjustScroller(bool reset);
    void PaintIt();

    // Handlers.
    void CmPickStar();
    void CmFocusFrame();
    void CmFocusFrameReset();
    void CmPrintSetup();
    void CmPrint();
    void cmExit();
    void undo_restore_option();
    void CmCopy();
    void CmFit();
    void CmBinDisplay();
    void CmColPal();
    void CmStretchPal();
    void CmMirror();
    void Info();
    void Help_Using();
    void Help_About();
    void CmMaxStretchToggle();
    void CmStretchPaint();
    void Nocteris_Camera();
    void QV_Control();
    void QV_Guider_Control();
    void CmControl();
    void CmTrainGuide();
    void CmStartGuide();
    void GuideTelescope();
    void Guider_Start_Standalone();
    void CmINI();
    void Subtract_Image();
    void Flat_Image();
    void Average_Image();
    void Add_Image();

    // Analysis windows, photometry and labels.
    void CmHistogram();
    void Cm3D();
    void CmRowInt();
    void blink_comparison();
    void BlinkOriginal();
    void BlinkComparison();
    void CmPhotometry();
    void label_image();

    // Contrast stretches.
    void CmContrastNormal();
    void CmContrastPower();
    void CmContrastSine();
    void CmContrastBackGround();
    void CmContrastTolvern();
    void CmContrastLog();
    void CmContrastAntiLog();
    void CmContrastInvert();
    void CmContrastStretch();
    void CmStretchMax();
    // Enhancement filters.
    void unsharp_enhance();
    void highlow_enhance();
    void highhigh_enhance();
    void smoothsharp_enhance();
    void median_enhance();
    void gaussian_enhance();
    void lowpass_enhance();
    void basrelief_enhance();
    void gradient_enhance();
    void venetian_enhance();

    // File commands.
    void CmFileOpen();
    void CmFileSave();
    void CmTifSave();
    void CmFITSSave();
    void CmSaveAsFits();
    void CmEditFITSText();
    void CmViewFITSText();
    void CmFileDelete();
    void CmDarkFile();
    void CmFlatField();
    void CmFileComparison();

    // Run by Open before the load while merging (the merge feeds its second
    // image this way); tests may replace the delete confirmation.
    std::function<void()> open_in_merge_mode;
    std::function<bool()> confirm_delete;

    // Enablers.
    bool CeAlways(bool&) const { return true; }
    bool CeTelescope(bool&) const;
    bool CeCopy(bool&) const;
    bool CeFit(bool& checked) const;
    bool CeBin(bool& checked) const;
    bool CePickStar(bool& checked) const;
    bool CeColPal(bool& checked) const;
    bool CeStretchPal(bool& checked) const;

    // What is shown.
    const QString& FileName() const { return file_name_; }
    const QImage& Dib() const { return dib_; }
    const QVector<QRgb>& Palette() const { return palette_; }
    int PixelWidth() const { return pixel_width_; }
    int PixelHeight() const { return pixel_height_; }
    int Fit() const { return fit_; }

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    QPointF toScreen(double x, double y) const;
    QPoint toImage(QPoint client) const;
    void handleClick(QPoint client, bool right);
    bool pick_file();

    TNocterisFrame* frame_ = nullptr;
    QString file_name_;
    QImage dib_;
    QPixmap bitmap_;
    QVector<QRgb> palette_;
    QBrush bkgnd_brush_;
    int pixel_width_ = 0;
    int pixel_height_ = 0;
    int colors_ = 256;
    int fit_ = 0;
    std::unique_ptr<QPrinter> printer_;
};

// The window that shows the guider camera's guiding during main exposures.
void install_window_guider_host(QWidget* window);
