// A grid seam for tests: the current record is the recordset's, the current
// column is chosen by field name, the selection and the Ctrl key are set by
// the test. Opening helpers give the content recordset of a real file as
// the window would show it.
#pragma once

#include "dataaccess/recordset.h"
#include "viewer/datasource/catalogue.h"
#include "viewer/datasource/opening.h"
#include "viewer/datasource/sourcestate.h"
#include "viewer/query/filtersort.h"
#include "viewertestsupport.h"

#include <gtest/gtest.h>

namespace viewertest {

class TestGrid : public viewer::GridSeam {
 public:
  std::shared_ptr<dataaccess::Recordset> recordset() const override { return rs; }
  int currentColumn() const override { return column; }
  QString selectedText() const override { return selection; }
  void endCellEdit() override { selection.clear(); }
  bool ctrlHeld() const override { return ctrl; }
  void rowsChanged() override { ++changes; }

  // Makes `field` the current column and `row` (1-based) the current record.
  void select(const QString& field, int64_t row = 1, const QString& selected = {}) {
    column = rs->Fields(field).index();
    rs->setAbsolutePosition(row);
    selection = selected;
  }
  // The values of `field` in every row, in order.
  QStringList values(const QString& field) const {
    QStringList out;
    if (!rs || rs->State() != dataaccess::adStateOpen) return out;
    const int f = rs->Fields(field).index();
    for (int64_t r = 0; r < rs->RecordCount(); ++r) out << rs->valueAt(r, f).toString();
    return out;
  }

  std::shared_ptr<dataaccess::Recordset> rs;
  int column = 0;
  QString selection;
  bool ctrl = false;
  int changes = 0;
};

// Opens `path` as the window does and shows `table`; the grid's kind text
// goes to `ext`.
inline std::shared_ptr<dataaccess::Recordset> openTable(const QString& path, const QString& table, QString& ext) {
  resetState();
  viewer::state().CurrentPath = path;
  auto cn = viewer::BuildConnection(path, ext);
  if (!cn) return nullptr;
  return std::shared_ptr<dataaccess::Recordset>(
      viewer::OpenContent(cn, table, ext, viewer::state().SourceKind, path));
}

}  // namespace viewertest
