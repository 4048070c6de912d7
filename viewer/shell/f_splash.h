// f_Splash, the splash window that doubles as the About box: the product
// picture, the program's name, version, platform, legal notice and company
// (a link to the program's help page), and the "Show at next time" box that
// mirrors the ShowSplash setting. At start-up it closes itself on the
// fourth tick of its one-second timer; as the About box it stays until the
// user presses a key or clicks it. There is at most one at a time.
#pragma once

#include "splashinfo.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QTimer;

namespace viewer {

class f_Splash : public QWidget {
  Q_OBJECT

 public:
  // Shows the splash window modeless and topmost, owned by `frm` and
  // centred on it, and fills it; with `bTimer` it closes itself after four
  // ticks. A window already open is shown again and its timer set from
  // `bTimer`. Never raises.
  static f_Splash* View(QWidget* frm, bool bTimer);
  // The open splash window, or nullptr.
  static f_Splash* current();

  // One tick of Timer1 (the timer calls it each second): the fourth closes
  // the window.
  void Timer1Tick();
  int16_t ticks() const { return ticks_.count(); }

  // The address behind lblCompany: the help page beside the program.
  static QString CompanyAddress();
  // What a click on lblCompany opens; CompanyAddress() when loaded.
  QString companyLink;

  // Controls, under their design names.
  QLabel* Image1 = nullptr;
  QLabel* lblProductName = nullptr;
  QLabel* lblVersion = nullptr;
  QLabel* lblPlatform = nullptr;
  QLabel* lblCopyright = nullptr;
  QLabel* lblCompany = nullptr;
  QCheckBox* chkShow = nullptr;
  QTimer* Timer1 = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  explicit f_Splash(QWidget* owner);
  void fill();
  void setLinkUnderlined(bool on);

  SplashTicks ticks_;
};

}  // namespace viewer
