#pragma once
#include <QApplication>
#include <memory>

namespace platform {
class QtUi;
}
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
    TNocterisFrame* frame_ = nullptr;
    TNocterisWindow* window_ = nullptr;
};

// Reads the settings and sets the camera geometry, as building the main
// window does before anything is shown.
void prepare_main_window_state();
