// The report files behind the print preview, without any widget: the
// rows as a persisted rowset in the report folder, and the report page made
// from the HTML template that pages through them in a browser. The window's
// "Preview" command and `lumbrook-cli report` both build reports here.
#pragma once

#include "dataaccess/recordset.h"

#include <QString>

namespace viewer {

// Process-wide title and heading of the report being built; they name the
// report files and fill the template.
extern QString ReportTitle;
extern QString ReportHead;

// Where reports go: "Data" beside the program when that folder is (or can
// be made) writable, else "Lumbrook/Data" under the user's data folder.
// `programFolder` empty means the running program's folder.
QString ReportFolder(const QString& programFolder = QString());

// `title` made safe as a file name inside the report folder: "/" and NUL
// become "_", a leading "." becomes "_", at most 200 UTF-8 bytes; an empty
// result is "report". The window title and the heading keep the real name.
QString ReportFileName(const QString& title);

// The report template: an HTML page with the placeholders "@TITLE@",
// "@HEAD@", "@XML@", "@PAGESIZE@" (and "@HELPURL@" for its footer link).
QString ReportTemplate();

// `html` with the placeholders replaced, in this order: "@HELPURL@" by
// `helpUrl`, "@XML@" by the file URL of `xmlPath` (percent-encoded),
// "@PAGESIZE@" by `pageSize`, "@TITLE@" by `title`, "@HEAD@" by `head`.
// Every inserted text is HTML-escaped, so a name holding markup shows as
// text and never runs in the page.
QString FillReportTemplate(QString html, const QString& xmlPath, int pageSize, const QString& title,
                           const QString& head, const QString& helpUrl);

// The file URL of the help page beside the program.
QString HelpPageUrl(const QString& programFolder = QString());

struct ReportFiles {
  QString xmlPath;   // the rows: a file in the report folder, or the open file itself
  QString pagePath;  // the page to show
  QString html;      // the page's text as written
};

// Builds the report of `rs` titled ReportTitle with heading ReportHead:
// saves the rows to "<folder>/<safe title>.xml" (for a persisted recordset
// source, `persistedPath` is used as it is and nothing is saved), fills the
// template and writes "<folder>/<safe title>.htm". With an empty template
// the page is the rows as entity XML from the converter, written to
// "report.xml" in the report folder. Throws
// dataaccess::Error; a failure leaves earlier report files intact.
ReportFiles BuildReport(dataaccess::Recordset& rs, const QString& folder, int pageSize, const QString& encoding,
                        const QString& persistedPath, const QString& templateText, const QString& helpUrl);

}  // namespace viewer
