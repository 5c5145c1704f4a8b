#pragma once
#include "settings/settings_controls.h"

#include <QDialog>
#include <vector>

class QAbstractButton;
class QGroupBox;
class QLineEdit;
class QScrollArea;
class QSpinBox;

// "Set Program Defaults": edits the persistent options. Every control with an
// id has the object name "id<N>". The check marks, selections and number
// fields always show the globals; a click changes the globals and shows them
// again.
class TINIDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TINIDialog(QWidget* parent = nullptr);

    // Shows the current values.
    void refresh();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void command(int id);
    void save_changes();
    IniNumbers typed_numbers() const;

    QAbstractButton* add_button(QAbstractButton* b, int id);
    QSpinBox* add_number(int id, IniBounds bounds);
    QGroupBox* radio_group(const char* title, int first_id, const std::vector<const char*>& texts,
                           int columns);
    QWidget* build_contents();

    std::vector<std::pair<int, QAbstractButton*>> checkables_;
    QSpinBox* slewx_ = nullptr;
    QSpinBox* slewy_ = nullptr;
    QSpinBox* backlashx_ = nullptr;
    QSpinBox* backlashy_ = nullptr;
    QSpinBox* hystx_ = nullptr;
    QSpinBox* hysty_ = nullptr;
    QSpinBox* guider_[6] = {};
    QSpinBox* pc_com_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QLineEdit* last_num_ = nullptr;
    QScrollArea* scroller_ = nullptr;
    bool sized_ = false;
};

// The settings command (CmINI): loads the file (message 20 and a fresh file
// when it cannot be read), runs the dialog and, after "Save Changes", writes
// the file (message 24 when that fails). Returns 1 after "Save Changes", 2
// after "Cancel". Either way the caller then rebuilds its Telescope tool-bar
// button from `telescope`.
int run_settings_dialog(QWidget* parent);
