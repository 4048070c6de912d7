#include "reportbuilder.h"

#include "../mainwindow/exportconverter.h"
#include "dataaccess/error.h"
#include "dataaccess/filewrite.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QUrl>

static void initReportResources() { Q_INIT_RESOURCE(report); }

namespace viewer {

QString ReportTitle;
QString ReportHead;

namespace {

const QString kSource = QStringLiteral("f_Print.View");

QString programFolderOr(const QString& programFolder) {
  if (!programFolder.isEmpty()) return programFolder;
  return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
}

// True when files can be created in `folder` (made when missing).
bool writableFolder(const QString& folder) {
  if (!QDir().mkpath(folder)) return false;
  QTemporaryFile probe(folder + QStringLiteral("/.lumbrook-XXXXXX"));
  return probe.open();
}

}  // namespace

QString ReportFolder(const QString& programFolder) {
  const QString beside = programFolderOr(programFolder) + QStringLiteral("/Data");
  if (writableFolder(beside)) return beside;
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Lumbrook/Data");
}

QString ReportFileName(const QString& title) {
  QString name = title;
  name.replace(QLatin1Char('/'), QLatin1Char('_'));
  name.replace(QChar(0), QLatin1Char('_'));
  if (name.startsWith(QLatin1Char('.'))) name[0] = QLatin1Char('_');
  // At most 200 bytes of UTF-8, cut between characters; the extension the
  // builder adds keeps the whole name under the usual 255-byte limit.
  while (name.toUtf8().size() > 200) {
    name.chop(1);
    if (!name.isEmpty() && name.back().isHighSurrogate()) name.chop(1);
  }
  return name.isEmpty() ? QStringLiteral("report") : name;
}

QString ReportTemplate() {
  initReportResources();
  QFile f(QStringLiteral(":/report/report.htm"));
  if (!f.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(f.readAll());
}

QString FillReportTemplate(QString html, const QString& xmlPath, int pageSize, const QString& title,
                           const QString& head, const QString& helpUrl) {
  html.replace(QLatin1String("@HELPURL@"), helpUrl.toHtmlEscaped());
  html.replace(QLatin1String("@XML@"), QString::fromLatin1(QUrl::fromLocalFile(xmlPath).toEncoded()).toHtmlEscaped());
  html.replace(QLatin1String("@PAGESIZE@"), QString::number(pageSize));
  html.replace(QLatin1String("@TITLE@"), title.toHtmlEscaped());
  html.replace(QLatin1String("@HEAD@"), head.toHtmlEscaped());
  return html;
}

QString HelpPageUrl(const QString& programFolder) {
  return QString::fromLatin1(
      QUrl::fromLocalFile(programFolderOr(programFolder) + QStringLiteral("/Help/Lumbrook.html")).toEncoded());
}

ReportFiles BuildReport(dataaccess::Recordset& rs, const QString& folder, int pageSize, const QString& encoding,
                        const QString& persistedPath, const QString& templateText, const QString& helpUrl) {
  if (!QDir().mkpath(folder))
    throw dataaccess::Error(dataaccess::err::kAppBase, kSource,
                            QStringLiteral("The report folder '%1' cannot be created.").arg(folder));
  const QString base = folder + QLatin1Char('/') + ReportFileName(ReportTitle);
  ReportFiles files;
  if (!persistedPath.isEmpty()) {
    files.xmlPath = persistedPath;
  } else {
    files.xmlPath = base + QStringLiteral(".xml");
    rs.Save(files.xmlPath, dataaccess::adPersistXML);  // atomic: replaces an earlier report whole
  }
  files.pagePath = base + QStringLiteral(".htm");
  QByteArray bytes;
  if (!templateText.isEmpty()) {
    files.html = FillReportTemplate(templateText, files.xmlPath, pageSize, ReportTitle, ReportHead, helpUrl);
    bytes = files.html.toUtf8();  // the page declares UTF-8
  } else {
    files.html = ConvertRecordsetToXml(rs, 103, encoding);
    files.pagePath = folder + QStringLiteral("/report.xml");
    bytes = EncodeConvertedXml(files.html);
  }
  dataaccess::writeFileAtomically(files.pagePath, bytes, kSource);
  return files;
}

}  // namespace viewer
