#pragma once
#include <QDialog>
#include <QImage>

class QLabel;

// "Guiding Info": the guide star position, the last correction times and the
// AO unit's position while guiding runs, over the focus bitmap with the star
// marked. Its "Stop" (id108) ends standalone guider guiding.
class TInfoDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TInfoDialog(QWidget* parent = nullptr);

    // Shows the star at xcent.xcentdec / ycent.ycentdec of the guide state,
    // the last correction times (ms, shown in seconds) and the AO unit's
    // position in steps, and reloads the focus bitmap.
    void InfoUpdate(int slew_time_x, int slew_time_y, int ao_ns, int ao_ew);

    const QImage& focus_image() const { return focus_; }

  private:
    QLabel* star_ = nullptr;  // id101
    QLabel* slews_ = nullptr; // id102
    QLabel* ao_ = nullptr;    // id103
    QWidget* picture_ = nullptr;
    QImage focus_;
};
