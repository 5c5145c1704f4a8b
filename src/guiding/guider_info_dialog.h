#pragma once
#include <QDialog>
#include <QImage>

#include <cstdint>

class GuideGraph;
class QLabel;
class QPushButton;

// The guider camera's guiding information window: the latest guider frame at
// (10, 45) with the guide star's cross, a 100 x 100 plot of the last error
// (0.1 pixel a plot pixel) beside it, the centroid, error, pulse and AO
// read-outs, and under them the live guiding graph that "Guiding Info" also
// shows. Its caption is guider_info_caption; "Stop" (id108) ends standalone
// guider guiding and is enabled only while that runs.
class TGInfoDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr int PLOT_X = 528, PLOT_Y = 48, PLOT_SIDE = 100;

    explicit TGInfoDialog(QWidget* parent = nullptr);

    // Shows the values of the last guide frame and the latest guider bitmap;
    // `offload` is what the AO unit last sent the mount, at `offload_at`.
    void InfoUpdate(int ao_ew = 0, int ao_ns = 0, const char* offload = nullptr,
                    std::uint32_t offload_at = 0);
    // The caption follows guider_info_caption.
    void InfoCaption();
    // Stop's enabler.
    void CeStop();
    void StopGuiderGuiding();

    GuideGraph* graph() const { return graph_; }
    const QImage& frame_image() const { return frame_; }

  private:
    QWidget* canvas_ = nullptr;
    QLabel* values_[9] = {};
    QLabel* pulse_units_[2] = {}; // ms to the mount, steps to the AO unit
    QPushButton* stop_ = nullptr;
    GuideGraph* graph_ = nullptr;
    QImage frame_;
};
