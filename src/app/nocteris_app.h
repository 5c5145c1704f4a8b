#pragma once
#include <QApplication>
#include <memory>

namespace platform {
class QtUi;
}
class HelpKeyFilter;
class ScreenFitter;
class TNocterisFrame;
class TNocterisWindow;

// The application: builds the frame and its image window, then runs the
// program's own start-up (buffers, palette, test pattern).
class TNocterisApp : public QApplication {
    Q_OBJECT
  public:
    TNocterisApp(int& argc, char** argv);
    ~TNocterisApp() override;

    void InitMainWindow();
    void InitInstance();

    TNocterisFrame* frame() const { return frame_; }
    TNocterisWindow* window() const { return window_; }

  private:
    std::unique_ptr<platform::QtUi> ui_;
    std::unique_ptr<HelpKeyFilter> help_keys_;
    std::unique_ptr<ScreenFitter> fitter_;
    TNocterisFrame* frame_ = nullptr;
    TNocterisWindow* window_ = nullptr;
};

// Reads the settings and sets the camera geometry, as building the main
// window does before anything is shown.
void prepare_main_window_state();

// Where the main window's size and place are kept between runs.
constexpr const char* WINDOW_PLACE_FILE = "c:\\autosave\\Nocteris.window";

// Gives the main window the size and place of the last run, or when there is
// none (or it lies off every screen) most of the screen, or no more than the
// image needs.
void place_main_window(QWidget* frame);
// Keeps the main window's size and place for the next run.
void keep_main_window_place(const QWidget* frame);
