#include "printwindow.h"

#include "datasource/sourcestate.h"
#include "mainwindow/toolbaricons.h"
#include "mainwindow/waitcursor.h"
#include "printpreview.h"
#include "prompts.h"
#include "reportbuilder.h"
#include "reportweb.h"

#include "dataaccess/error.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinterInfo>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace viewer {

namespace {

QPointer<f_Print> theForm;

struct ToolButton {
  const char* key;
  const char* toolTip;
  const char* icon;  // resource name under :/icons
};

// Left to right.
const ToolButton kButtons[] = {
    {"Preview", "Print Preview", "Preview"},
    {"PageOrientation", "Page Options", "PageOrientation"},
    {"Print", "Print", "Print"},
    {"Exit", "Close", "Exit"},
};

const char kNoPrinter[] = "The printer is not ready to operation.";

}  // namespace

f_Print* PrintForm() { return theForm; }

f_Print::f_Print(QWidget* owner) : QWidget(owner, Qt::Window) {
  setObjectName(QStringLiteral("f_Print"));
  setWindowTitle(QStringLiteral("Print"));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(900, 650);
  printerReady = [] { return !QPrinterInfo::availablePrinters().isEmpty(); };

  Toolbar1 = new QToolBar(this);
  Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
  Toolbar1->setIconSize(QSize(16, 16));
  ProgramIcon();  // makes the icon resources available
  for (const ToolButton& b : kButtons) {
    QAction* action = Toolbar1->addAction(QIcon(ToolbarIconPath(QString::fromLatin1(b.icon))), QString());
    action->setObjectName(QString::fromLatin1(b.key));
    action->setToolTip(QString::fromLatin1(b.toolTip));
    const QString key = QString::fromLatin1(b.key);
    connect(action, &QAction::triggered, this, [this, key] { buttonClick(key); });
  }

  WEB = new QWebEngineView(this);
  WEB->setObjectName(QStringLiteral("WEB"));
  WEB->setPage(new ReportWebPage(WEB));

  // The toolbar along the top edge, the browser filling the rest.
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Toolbar1);
  layout->addWidget(WEB, 1);

  navigate(QUrl(QStringLiteral("about:blank")));
}

f_Print::~f_Print() = default;

void f_Print::navigate(const QUrl& url) { WEB->setUrl(url); }

void f_Print::View(dataaccess::Recordset& rs, bool /*modal*/, QString& html, const QString& encoding) {
  WaitCursor hourglass;
  try {
    show();
    navigate(QUrl(QStringLiteral("about:blank")));
    repaint();
    QApplication::processEvents();

    const SourceState& s = state();
    const QString persisted = s.SourceKind == kind::PersistedRecordset ? s.CurrentPath : QString();
    const QString folder = reportFolder_.isEmpty() ? ReportFolder() : reportFolder_;
    const ReportFiles files =
        BuildReport(rs, folder, s.PageSize, encoding, persisted, ReportTemplate(), HelpPageUrl());
    html = files.html;

    navigate(QUrl::fromLocalFile(files.pagePath));
    show();
    raise();
    activateWindow();
  } catch (const dataaccess::Error& e) {
    prompts().message(e.message(), Prompts::Critical, Prompts::OkOnly);
  } catch (const std::exception& e) {
    prompts().message(QStringLiteral("%1: %2").arg(dataaccess::err::kProviderFailure).arg(QString::fromLocal8Bit(e.what())),
                      Prompts::Critical, Prompts::OkOnly);
  }
}

bool f_Print::renderTo(QPrinter* printer) {
  if (WEB->url().isEmpty() || WEB->url().scheme() == QLatin1String("about")) return false;
  bool ok = false;
  QEventLoop wait;
  auto done = connect(WEB, &QWebEngineView::printFinished, &wait, [&](bool success) {
    ok = success;
    wait.quit();
  });
  WEB->print(printer);
  wait.exec();
  disconnect(done);
  return ok;
}

void f_Print::buttonClick(const QString& key) {
  if (key == QLatin1String("Preview")) {
    QPrintPreviewDialog dialog(&printer_, this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { renderTo(p); });
    dialog.exec();
  } else if (key == QLatin1String("PageOrientation")) {
    QPageSetupDialog dialog(&printer_, this);
    dialog.exec();
  } else if (key == QLatin1String("Print")) {
    if (!printerReady || !printerReady()) {
      prompts().message(QString::fromLatin1(kNoPrinter), Prompts::Information, Prompts::OkOnly);
      return;
    }
    QPrintDialog dialog(&printer_, this);
    if (dialog.exec() == QDialog::Accepted) renderTo(&printer_);
  } else if (key == QLatin1String("Exit")) {
    close();
  }
}

void PrepareReportEngine() {
  // One blank page that lives as long as the program keeps the engine and
  // its page process running for the report window.
  static QPointer<QWebEnginePage> warm;
  if (warm) return;
  warm = new ReportWebPage(QCoreApplication::instance());
  warm->setUrl(QUrl(QStringLiteral("about:blank")));
}

void ShowPrintPreview(dataaccess::Recordset* rs, const QString& title, const QString& heading, QWidget* owner) {
  if (!rs) return;
  ReportTitle = title;
  ReportHead = heading;
  if (!theForm) theForm = new f_Print(owner);
  QString html;
  theForm->View(*rs, false, html, state().PageEncoding);
}

}  // namespace viewer
