// ShowPrintPreview: the main window's "Preview" command. Builds the report of
// a recordset and shows it in the one report window, made on first use and
// reused by every later preview. Where the program is built without a web
// engine the report page opens in the desktop's browser instead.
#pragma once

#include "dataaccess/recordset.h"

#include <QString>

class QWidget;

namespace viewer {

// Sets ReportTitle to `title` and ReportHead to `heading` and shows the
// report of `rs` in the report window owned by `owner`. Nothing when `rs` is
// null. Failures are shown as "number: description" (critical icon).
void ShowPrintPreview(dataaccess::Recordset* rs, const QString& title, const QString& heading,
                      QWidget* owner = nullptr);

// Starts the browser engine ahead of the first preview (at idle time after
// the main window shows), so "Preview" does not wait for it; the engine's
// start is most of a first preview's time. Nothing without a web engine.
void PrepareReportEngine();

}  // namespace viewer
