// ShowPrintPreview where the program is built without Qt WebEngine: the
// report files are built as usual and the page opens in the desktop's
// browser.
#include "printpreview.h"

#include "datasource/sourcestate.h"
#include "mainwindow/waitcursor.h"
#include "prompts.h"
#include "reportbuilder.h"

#include "dataaccess/error.h"

#include <QDesktopServices>
#include <QUrl>

namespace viewer {

void ShowPrintPreview(dataaccess::Recordset* rs, const QString& title, const QString& heading, QWidget*) {
  if (!rs) return;
  ReportTitle = title;
  ReportHead = heading;
  try {
    WaitCursor hourglass;
    const SourceState& s = state();
    const QString persisted = s.SourceKind == kind::PersistedRecordset ? s.CurrentPath : QString();
    const ReportFiles files =
        BuildReport(*rs, ReportFolder(), s.PageSize, s.PageEncoding, persisted, ReportTemplate(), HelpPageUrl());
    QDesktopServices::openUrl(QUrl::fromLocalFile(files.pagePath));
  } catch (const dataaccess::Error& e) {
    prompts().message(e.message(), Prompts::Critical);
  }
}

void PrepareReportEngine() {}

}  // namespace viewer
