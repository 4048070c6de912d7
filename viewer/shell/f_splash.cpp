#include "f_splash.h"

#include "datasource/sourcestate.h"
#include "help.h"
#include "weblink.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>

namespace viewer {

namespace {

QPointer<f_Splash>& instance() {
  static QPointer<f_Splash> splash;
  return splash;
}

constexpr int kWidth = 480;
constexpr int kHeight = 320;
constexpr int kPictureHeight = 180;
constexpr int kTextLeft = 20;

QFont arial(int pointSize, bool bold = false) {
  QFont font(QStringLiteral("Arial"), pointSize, bold ? QFont::Bold : QFont::Normal);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

}  // namespace

f_Splash* f_Splash::current() { return instance().data(); }

QString f_Splash::CompanyAddress() {
  // The guide beside the program, or the installed one under share/.
  const QString folder = QCoreApplication::applicationDirPath();
  const QString found = FindHelpFile(folder);
  return found.isEmpty() ? HelpPagePath(folder) : found;
}

f_Splash::f_Splash(QWidget* owner)
    : QWidget(owner, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("f_Splash"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("About"));
  setFixedSize(kWidth, kHeight);
  setMouseTracking(true);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(0xf7, 0xf9, 0xfc));
  pal.setColor(QPalette::WindowText, QColor(0x1b, 0x2a, 0x3f));
  setPalette(pal);

  Image1 = new QLabel(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(0, 0, kWidth, kPictureHeight);
  QImageReader picture(QStringLiteral(":/splash/splash.svg"));
  picture.setScaledSize(QSize(kWidth, kPictureHeight));
  Image1->setPixmap(QPixmap::fromImage(picture.read()));

  auto label = [this](const char* name, int top, int height, const QFont& font) {
    auto* l = new QLabel(this);
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(font);
    l->setGeometry(kTextLeft, top, kWidth - 2 * kTextLeft, height);
    return l;
  };
  lblProductName = label("lblProductName", 188, 34, arial(20, true));
  lblVersion = label("lblVersion", 224, 18, arial(9, true));
  lblPlatform = label("lblPlatform", 242, 18, arial(9));
  lblCopyright = label("lblCopyright", 266, 18, arial(8));
  lblCompany = label("lblCompany", 288, 20, arial(9));
  lblCompany->setCursor(Qt::PointingHandCursor);
  lblCompany->setMouseTracking(true);
  QPalette link = lblCompany->palette();
  link.setColor(QPalette::WindowText, QColor(0x1f, 0x4d, 0x85));
  lblCompany->setPalette(link);

  chkShow = new QCheckBox(QString::fromLatin1(kShowSplashCaption), this);
  chkShow->setObjectName(QStringLiteral("chkShow"));
  chkShow->setFont(arial(9));
  const QSize box = chkShow->sizeHint();
  chkShow->setGeometry(kWidth - kTextLeft - box.width(), 288, box.width(), box.height());
  lblCompany->resize(chkShow->x() - kTextLeft - 8, lblCompany->height());
  companyLink = CompanyAddress();
  connect(chkShow, &QCheckBox::clicked, this, [](bool checked) { state().ShowSplash = checked ? 1 : 0; });

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, &f_Splash::Timer1Tick);

  // Key preview, and the clicks each control answers itself.
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

f_Splash* f_Splash::View(QWidget* frm, bool bTimer) {
  f_Splash* splash = instance().data();
  if (!splash) {
    splash = new f_Splash(frm);
    instance() = splash;
  }
  if (frm) {
    const QRect owner = frm->frameGeometry();
    splash->move(owner.center() - QPoint(splash->width() / 2, splash->height() / 2));
  }
  splash->show();
  splash->raise();
  splash->repaint();
  QCoreApplication::processEvents();
  // Processing events may have let the user close it already.
  if (instance().data() != splash) return nullptr;
  SetTopmost(splash);
  splash->fill();
  if (bTimer) splash->Timer1->start();
  else splash->Timer1->stop();
  return splash;
}

void f_Splash::fill() {
  chkShow->setChecked(SplashShownAtStart(state().ShowSplash));
  const ProgramVersionInfo info = ProgramInfo();
  lblCopyright->setText(info.copyright);
  lblVersion->setText(info.version);
  lblProductName->setText(info.productName);
  lblCompany->setText(info.company);
  lblPlatform->setText(info.platform);
}

void f_Splash::Timer1Tick() {
  if (ticks_.Tick()) {
    Timer1->stop();
    close();
  }
}

void f_Splash::setLinkUnderlined(bool on) {
  QFont font = lblCompany->font();
  if (font.underline() == on) return;
  font.setUnderline(on);
  lblCompany->setFont(font);
}

bool f_Splash::eventFilter(QObject* watched, QEvent* e) {
  switch (e->type()) {
    case QEvent::KeyPress:
      close();
      return true;
    case QEvent::MouseButtonPress:
      if (watched == Image1 || watched == lblProductName) {
        close();
        return true;
      }
      // The other labels are not the background: a click there stays.
      if (watched == lblVersion || watched == lblPlatform || watched == lblCopyright || watched == lblCompany)
        return true;
      break;
    case QEvent::MouseButtonRelease:
      if (watched == lblCompany && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton &&
          lblCompany->rect().contains(static_cast<QMouseEvent*>(e)->position().toPoint())) {
        OpenWebLink(this, companyLink);
        return true;
      }
      break;
    case QEvent::MouseMove:
      // Kept from the window's background, which would take the underline
      // off again.
      if (watched == lblCompany) {
        setLinkUnderlined(true);
        return true;
      }
      break;
    case QEvent::Leave:
      if (watched == lblCompany) setLinkUnderlined(false);
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, e);
}

void f_Splash::keyPressEvent(QKeyEvent*) { close(); }

void f_Splash::mousePressEvent(QMouseEvent*) { close(); }

void f_Splash::mouseMoveEvent(QMouseEvent*) { setLinkUnderlined(false); }

void f_Splash::closeEvent(QCloseEvent* e) {
  // A View after this opens a new window, not the one being unloaded.
  Timer1->stop();
  if (instance().data() == this) instance() = nullptr;
  QWidget::closeEvent(e);
}

void f_Splash::paintEvent(QPaintEvent* e) {
  QWidget::paintEvent(e);
  QPainter painter(this);
  painter.setPen(QColor(0x44, 0x54, 0x6a));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace viewer
