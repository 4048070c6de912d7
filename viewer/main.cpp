// lumbrook: the window program. `lumbrook PATH [TABLE]`: start-up opens
// PATH and shows the main window, which lives until the user closes it;
// with TABLE the window shows that table's rows as a click on its tree
// entry would. A path with blanks may be given unquoted (the arguments are
// joined when they name no file otherwise).
#include "datasource/opening.h"
#include "datasource/sourceview.h"
#include "mainwindow/viewdb.h"
#include "mainwindow/widgetprompts.h"
#include "prompts.h"
#include "report/printpreview.h"
#include "shell/f_splash.h"
#include "shell/splashinfo.h"

#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <unistd.h>
#include <QWidget>

int main(int argc, char** argv) {
  // The browser engine's sandbox cannot start as root (Chromium refuses);
  // the report page it shows is the program's own, held to local files.
  if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  // The report window's browser shares the program's OpenGL contexts.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Lumbrook"));
  QApplication::setOrganizationName(QStringLiteral("Fenwright"));
  QApplication::setApplicationVersion(viewer::ProgramVersionNumber());

  viewer::WidgetPrompts prompts;
  viewer::setPrompts(&prompts);
  viewer::setSourceViewFactory([] {
    auto* window = new viewer::f_ViewDB;
    window->setSplashHook([](viewer::f_ViewDB* w) { viewer::f_Splash::View(w, true); });
    window->Load();
    return window;
  });

  const viewer::CommandLineTarget target = viewer::SplitCommandLine(QApplication::arguments());
  viewer::Main(target.path);
  if (!target.table.isEmpty()) {
    if (auto* window = dynamic_cast<viewer::f_ViewDB*>(viewer::sourceView())) {
      const int index = window->cmbTables->findText(target.table, Qt::MatchExactly | Qt::MatchCaseSensitive);
      if (index >= 0) window->cmbTables->setCurrentIndex(index);
      window->ViewTableContent(target.table);
    }
  }

  int rc = 0;
  // Start-up has shown the main window unless it was closed already.
  bool windowShown = false;
  for (QWidget* w : QApplication::topLevelWidgets()) windowShown = windowShown || w->isVisible();
  if (windowShown) {
    QTimer::singleShot(1000, [] { viewer::PrepareReportEngine(); });
    rc = QApplication::exec();
  }
  viewer::setSourceViewFactory({});
  viewer::setPrompts(nullptr);
  return rc;
}
