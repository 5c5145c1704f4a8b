#pragma once
#include <QDialog>
#include <QImage>

#include <functional>

class QWidget;
class TrainingHost;

// The guider camera's dialog, "Auto Guider Camera Control": the live guider
// frame drawn 1:1 with its top-left pixel at dialog point (10, 45), the
// pointer read-out, the preview, the dark frame, exposure and display
// options, manual telescope moves, the guide star pick and the hand-over to
// the main camera. The rules are guider_controls.h's; every control keeps its
// id as its object name ("id101"), the frame is "picture".
class TGQVDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TGQVDialog(QWidget* parent = nullptr);
    ~TGQVDialog() override;

    bool previewing() const { return previewing_; }
    const QImage& frame_image() const { return frame_; }

    void Start();
    void Stop();
    void TakeDarkframe();
    void UseDarkframe();
    void SetPickStar();
    void GoNorth();
    void GoSouth();
    void GoEast();
    void GoWest();
    void ExitMainCamera();
    void ExitStartGuiding();
    // The eight-position training on the picked guider star.
    void Train();
    void SetDefault();

    // The AO unit's controls; the rules are ao_params.h's.
    void ChangeGuiderMode();
    void SetAONS();
    void SetAOEW();
    void SetAOMountNS();
    void SetAOMountEW();
    void SetAOValues();
    void CopyAOValues();
    void SetAODefault();
    void ChangeAOMode();
    void CentraliseAOUnit();
    // 25 steps each way through the unit, on the picked guider star.
    void AOTrain();
    void SetAOCom1();
    void SetAOCom2();
    void SetAOPCport();

    // Mouse events in dialog coordinates, as the frame forwards them.
    void EvMouseMove(QPoint at);
    void EvLButtonUp(QPoint at);
    void EvRButtonUp(QPoint at);

    void ShowValues();

  public slots:
    void done(int result) override;

  protected:
    bool eventFilter(QObject* obj, QEvent* ev) override;

  private:
    void EvInitDialog();
    QWidget* build_readouts();
    QWidget* build_controls();
    QWidget* build_side();
    QWidget* build_ao(QWidget* parent);
    // The typed AO rates are shown only when they change, not while typed.
    void show_ao_rates();
    void run_training(const std::function<void(TrainingHost&)>& train);
    void reload_frame();
    void pause_one_second();

    QWidget* picture_ = nullptr;
    QImage frame_;
    bool previewing_ = false;
};

// Runs the dialog modally.
void run_guider_dialog(QWidget* parent);
