#pragma once
#include <QDialog>
#include <QImage>

class QLineEdit;
class QWidget;

// The camera control dialog, "Nocteris Control Interface": exposure and
// imaging options, the focusing preview ("Start"/"Stop") with its
// quarter-scale picture, the guide star pick, the guide dark frame, the
// filter wheel and the guiding parameters. Every control keeps its id as its
// object name ("id107"); the picture is "picture". The dialog holds no state
// of its own: it reads and writes the acquisition, guiding and settings
// globals through camera_controls.h.
class TQVDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TQVDialog(QWidget* parent = nullptr);
    ~TQVDialog() override;

    // The preview loop is running.
    bool previewing() const { return previewing_; }

    // Buttons.
    void StartExposure();           // 1 "Take Photo"
    void Start();                   // 107
    void Stop();                    // 108
    void TakeDarkframe();           // 724
    void SetPickStar();             // 726
    void Help();                    // 9
    void Train();                   // 727, the eight-position training
    void SetDefault();              // 729
    void StartAutoGuide();          // 15
    void ExitAutoguiderCam();       // 16, closes with 2
    void SetSelfGuiding();          // 135
    void SetSelfGuidingDarkframe(); // 138
    // The AO unit controls.
    void ChangeGuiderMode(); // 762 "Switch"
    void SetAOValues();      // 767 "Set Values"
    void CopyAOValues();     // 768 "Copy Trained"
    void SetAONS();          // 769
    void SetAOEW();          // 770
    void AOTrain();          // 771 "Train AO"
    void CentraliseAOUnit(); // 772 "Centralise"
    void ChangeAOMode();     // 774 "Change Mode"
    void SetAOCom1();
    void SetAOCom2();
    void SetAOPCport();
    bool training() const { return training_; }

    // Picture clicks and moves, in picture coordinates (its top-left pixel is
    // the dialog point (14, 90) of the quarter-scale layout).
    void picture_click(QPoint at, bool right);
    void picture_move(QPoint at);
    const QImage& picture_image() const { return picture_image_; }

  public slots:
    void done(int result) override;

  protected:
    bool eventFilter(QObject* obj, QEvent* ev) override;

  private:
    void build();
    QWidget* build_picture_column();
    QWidget* build_exposure_column();
    QWidget* build_guiding_column();
    // ShowValues: takes a value typed into edit 105 when it is within range,
    // then shows every global on its control.
    void show_values();
    // The typed default column, shown at opening and after it was taken.
    void show_guiding_defaults();
    void show_ao_rates();
    void take_typed();
    void reload_picture();
    void pause_one_second();
    QString text_of(int id) const;

    QWidget* picture_ = nullptr;
    QLineEdit* exposure_edit_ = nullptr;
    QImage picture_image_;
    bool previewing_ = false;
    bool training_ = false;
    bool training_stop_ = false;
    friend class DialogTraining;
};

// Runs the dialog modally; true when it closed through "Take Photo".
bool run_camera_dialog(QWidget* parent);
