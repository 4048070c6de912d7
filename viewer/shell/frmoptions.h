// frmOptions, the "Options" dialog: one "General" tab with the XML
// encoding, the rows on a report page and the delimited-text format. It is
// created fresh for each showing, filled from the settings in memory, and
// writes all settings on Apply (and OK). Apply is enabled exactly while the
// fields hold changes not yet applied (`bApply`). The rules themselves
// (page-size reading, apply) are in options.h.
#pragma once

#include <QDialog>
#include <QList>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabBar;

namespace viewer {

class frmOptions : public QDialog {
  Q_OBJECT
  Q_PROPERTY(bool bApply READ bApply WRITE setBApply)

 public:
  // Loads the dialog, owned by `owner`, centred on the screen and filled
  // from the settings in memory; clean (bApply False).
  explicit frmOptions(QWidget* owner = nullptr);

  // True while the fields hold changes not yet applied; the enabled state
  // of cmdApply.
  bool bApply() const;
  void setBApply(bool value);

  // Applies the fields when bApply is True. A refused page size or a
  // failed write is shown as "number: description"; bApply then stays
  // True and false is returned.
  bool Apply();

  // Controls, under their design names. picOptions holds one page per tab.
  QTabBar* tbsOptions = nullptr;
  QList<QWidget*> picOptions;
  QLabel* Label1 = nullptr;
  QLineEdit* txtEncoding = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* txtPagesize = nullptr;
  QLabel* Label3 = nullptr;
  QComboBox* cmbTextFormat = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;
  QPushButton* cmdApply = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void buildControls();
  void Load();
  // Shows the selected tab's page over the tab strip's client area and
  // moves the others out of sight, disabled.
  void tabChange();
  void nextTab();

  QFrame* tabClient_ = nullptr;
};

}  // namespace viewer
