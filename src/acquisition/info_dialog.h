#pragma once
#include <QDialog>
#include <QImage>

class GuideGraph;
class QLabel;
class QLineEdit;

// "Guiding Info": the guide star position, the last correction times and the
// AO unit's position while guiding runs, over the focus bitmap with the star
// marked, with the live graph of the errors and pulses and their RMS. Its
// "Stop" (id108) ends standalone guider guiding and asks main-camera guiding
// to stop; the focal length (id109, mm) gives the graph its arcseconds.
class TInfoDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TInfoDialog(QWidget* parent = nullptr);

    // Shows the star at xcent.xcentdec / ycent.ycentdec of the guide state,
    // the last correction times (ms, shown in seconds) and the AO unit's
    // position in steps, and reloads the focus bitmap.
    void InfoUpdate(int slew_time_x, int slew_time_y, int ao_ns, int ao_ew);

    // Shows a guide frame of 16-bit pixels instead of the focus bitmap,
    // stretched from its background to its brightest pixel.
    void show_frame(const unsigned short* pixels, int width, int height);
    // One guide frame for the graph: error in pixels, pulses in ms signed
    // by the error they correct.
    void add_frame(double ex, double ey, int ra_ms, int dec_ms);
    GuideGraph* graph() const { return graph_; }
    // Whether Stop was pressed since the window opened.
    bool stop_pressed() const { return stop_pressed_; }

    const QImage& focus_image() const { return focus_; }

  private:
    void take_focal_length();

    QLabel* star_ = nullptr;  // id101
    QLabel* slews_ = nullptr; // id102
    QLabel* ao_ = nullptr;    // id103
    QWidget* picture_ = nullptr;
    GuideGraph* graph_ = nullptr;
    QLineEdit* focal_ = nullptr;
    QImage focus_;
    bool stop_pressed_ = false;
};
