#pragma once
#include <QDialog>

class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;

// The telescope dialogs. Controls keep their ids as object names:
// LX200 ("Nocteris Move Telescope"): Messier id101, CNGC id102, "GoTo Object"
// id103, R.A. hours id104 and minutes id105, Dec degrees id106 and minutes
// id107, "Go To " id108, the planets id111..id118 (Mercury..Pluto), speeds
// Slew id121, Find id122, Centre id123, Guide id124, focus Fast id125 and
// Slow id126, the move pad North id131, South id132, East id133, West id134,
// focus In id135 and Out id136, "Info from Scope" id140, the mount's refusal
// of the last GoTo id141, Help id9, Close id2.
// Guide socket ("Move Telescope"): the pad's ids as above, Close id2.
// The pad's arrows move while held: press starts, release stops.

// The pad's and the focus bar's events, as the scroll bars of the
// original layout delivered them.
enum class PadEvent { LineUp, LineDown, EndScroll };

class TMTDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TMTDialog(QWidget* parent = nullptr);

    void MoveTelescope();
    void MoveToCoord();
    // Horizontal bar: up West, down East. Vertical: up North, down South.
    void EvHScroll(PadEvent e);
    void EvVScroll(PadEvent e);
    // The focus bar: up in, down out.
    void EvFocusScroll(PadEvent e);
    // Shows the mount's reply and the chosen speeds.
    void EvPaint();

  protected:
    void done(int result) override;

  private:
    // After a GoTo: what the mount said to the slew.
    void show_slew(bool coordinates);

    QLineEdit* messier_ = nullptr;
    QLineEdit* cngc_ = nullptr;
    QLineEdit* ra_hr_ = nullptr;
    QLineEdit* ra_min_ = nullptr;
    QLineEdit* dec_deg_ = nullptr;
    QLineEdit* dec_min_ = nullptr;
    QLineEdit* info_ = nullptr;
    QLabel* refusal_ = nullptr;
    QRadioButton* speed_[4] = {};
    QRadioButton* focus_fast_ = nullptr;
    QRadioButton* focus_slow_ = nullptr;
};

class TCBDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TCBDialog(QWidget* parent = nullptr);

    void EvHScroll(PadEvent e);
    void EvVScroll(PadEvent e);

  protected:
    void done(int result) override;
};

// Command 24: checks the drive link once a run, then opens the dialog the
// drive method asks for.
void CmControl(QWidget* parent);
