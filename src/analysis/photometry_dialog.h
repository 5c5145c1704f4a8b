#pragma once
#include "analysis/plot_dialog.h"

#include <map>

class QLineEdit;
class QRadioButton;

// "PHOTOMETRY": the modeless window of photometry mode. Its radio buttons
// choose what the next click records and the aperture size; it shows the
// three apertures, their mean levels, the magnitude difference, the pixel
// under the pointer and, from the camera's gain and read noise, the
// object's signal-to-noise ratio and magnitude error. Control ids are in
// ph_id (photometry.h); the camera values and the estimate are named
// "gain", "read_noise", "snr" and "mag_error".
class TPHDialog : public TToolWindow {
    Q_OBJECT
  public:
    explicit TPHDialog(QWidget* parent = nullptr);

    // Shows the measurements (after every click and pointer move).
    void EvPaint();

    void SetObject();
    void SetComparison();
    void SetBackground();
    void SetAperture(int button_id);
    void PHKill();
    void Dialog10Help();

  protected:
    void kill() override { PHKill(); }

  private:
    void take_camera_value(QLineEdit* edit, bool gain);

    std::map<int, QLineEdit*> fields_;
    std::map<int, QRadioButton*> radios_;
    QLineEdit* gain_ = nullptr;
    QLineEdit* read_noise_ = nullptr;
    QLineEdit* snr_ = nullptr;
    QLineEdit* error_ = nullptr;
};

// Command 14: starts photometry mode and opens its window, or refuses
// (messages 37, 38, 39). `merging` and `fit` are the main window's.
void cm_photometry(QWidget* parent, int merging, int fit);
// The open photometry window, or nullptr.
TPHDialog* photometry_dialog();
// After a click or a pointer move in photometry mode.
void photometry_refresh();
