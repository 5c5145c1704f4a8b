#pragma once
#include <QWidget>

#include <vector>

// The live guiding graph: the star's error in x and y over the last few
// hundred frames, the pulses sent as bars under it, and the running RMS of
// each axis and in total, in pixels and (with a scale) in arcseconds. Both
// guiding windows show one.
class GuideGraph : public QWidget {
  public:
    static constexpr int FRAMES = 300;

    explicit GuideGraph(QWidget* parent = nullptr);

    // One frame: the error in pixels, and the pulse lengths in ms, signed
    // by the error they correct (0 when none went out).
    void add(double ex, double ey, int ra_ms, int dec_ms);
    void clear();
    // Arcseconds per pixel; 0 shows pixels only.
    void set_scale(double arcsec_per_pixel);

    int frames() const { return static_cast<int>(samples_.size()); }
    // RMS of the frames shown, in pixels.
    double rms_x() const;
    double rms_y() const;
    double rms_total() const;
    // The RMS line as drawn above the graph.
    QString rms_text() const;

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    struct Sample {
        double ex, ey;
        int ra_ms, dec_ms;
    };
    std::vector<Sample> samples_; // oldest first, at most FRAMES
    double scale_ = 0;
};
