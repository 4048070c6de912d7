// editor_bench open [FIELDS]   the editor on a record of a CSV table with
//                              FIELDS integer fields (default 1000): the
//                              time from load to the painted window, five
//                              runs, each a new editor (ms)
// editor_bench shot PATH TABLE ROW OUT
//                              the editor on record ROW of TABLE in PATH,
//                              the row after the first with a long-text aid
//                              showing its panel, saved as a picture to OUT
// Run under xvfb-run or with QT_QPA_PLATFORM=offscreen.
#include "dataaccess/recordset.h"
#include "datasource/catalogue.h"
#include "datasource/opening.h"
#include "datasource/sourcestate.h"
#include "editor/f_edit.h"
#include "prompts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

std::shared_ptr<dataaccess::Recordset> openRecord(const QString& path, const QString& table, int row) {
  QString ext;
  viewer::state().CurrentPath = path;
  auto cn = viewer::BuildConnection(path, ext);
  if (!cn) return nullptr;
  std::shared_ptr<dataaccess::Recordset> rs(viewer::OpenContent(cn, table, ext, viewer::state().SourceKind, path));
  if (rs) rs->setAbsolutePosition(row);
  return rs;
}

int openBench(int fields) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("wide.csv"));
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return 1;
  QByteArray header, row;
  for (int i = 0; i < fields; ++i) {
    header += (i ? "," : "") + QByteArray("F") + QByteArray::number(i);
    row += (i ? "," : "") + QByteArray::number(i);
  }
  f.write(header + "\r\n" + row + "\r\n");
  f.close();
  auto rs = openRecord(path, QStringLiteral("wide#csv"), 1);
  if (!rs || rs->FieldCount() != fields) return 1;
  QWidget owner;
  owner.resize(900, 700);
  owner.show();
  std::vector<double> times;
  for (int run = 0; run < 5; ++run) {
    viewer::f_Edit editor(&owner);
    QElapsedTimer t;
    t.start();
    editor.load(rs, viewer::state().SourceKind);
    editor.show();
    editor.repaint();
    QApplication::processEvents();
    times.push_back(t.nsecsElapsed() / 1e6);
    editor.hide();
  }
  std::sort(times.begin(), times.end());
  std::printf("editor open, %d fields: min %.1f ms, median %.1f ms, max %.1f ms\n", fields, times.front(),
              times[times.size() / 2], times.back());
  return 0;
}

int shot(const QString& path, const QString& table, int row, const QString& out) {
  auto rs = openRecord(path, table, row);
  if (!rs) return 1;
  QWidget owner;
  owner.resize(900, 700);
  owner.show();
  viewer::f_Edit editor(&owner);
  editor.load(rs, viewer::state().SourceKind);
  editor.show();
  for (int i = 1; i <= editor.rowCount(); ++i) {
    if (editor.cmdField(i) && editor.cmdField(i)->property("tag") == QLatin1String("TEXT")) {
      editor.txtField(i)->setText(editor.txtField(i)->text() + QStringLiteral(" (edited)"));
      editor.fieldButtonClick(i);
      break;
    }
  }
  QApplication::processEvents();
  return editor.grab().save(out) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  const QString mode = args.value(1, QStringLiteral("open"));
  if (mode == QLatin1String("open")) return openBench(args.value(2, QStringLiteral("1000")).toInt());
  if (mode == QLatin1String("shot") && args.size() >= 6)
    return shot(args[2], args[3], args[4].toInt(), args[5]);
  std::fprintf(stderr, "usage: editor_bench open [FIELDS] | shot PATH TABLE ROW OUT\n");
  return 2;
}
