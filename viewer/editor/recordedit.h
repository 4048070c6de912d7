// The record editor's state without widgets: one row per field of the
// current record (its look, its text and whether the user changed it), the
// change tracking behind IsChanged, and saving by one batch update. The
// window f_Edit shows these rows; tests and scripts drive it directly.
//
// Binding: the rows start with the record's values (with any pending change)
// as text. A row the user changes keeps its text here; the texts go into the
// record through assignFieldText when saving or when the window closes
// without saving, so a text the field cannot take surfaces at save time as
// the data source's error, and the row keeps it for another try.
#pragma once

#include "dataaccess/recordset.h"
#include "editorrules.h"

#include <QLocale>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace viewer::editor {

class RecordEdit {
 public:
  struct Row {
    QString name;
    dataaccess::DataTypeEnum type = dataaccess::adEmpty;
    FieldRowSpec spec;
    QString text;
    bool edited = false;   // changed since loading or the last save
    bool coloured = false; // shown navy: changed since loading, never reset
  };

  explicit RecordEdit(QLocale locale = QLocale());

  // Keeps `rs` (positioned on the record to edit) and builds the rows from
  // its current record; IsChanged becomes False. `sourceKind` is the
  // source's kind code (kinds 5 and 9 are not re-read after a failed save).
  void load(std::shared_ptr<dataaccess::Recordset> rs, int32_t sourceKind);
  // Drops the recordset (the window unloads).
  void release();
  const std::shared_ptr<dataaccess::Recordset>& recordset() const { return rs_; }

  int rowCount() const { return int(rows_.size()); }
  // Row `index`, 1-based as the window's rows.
  const Row& row(int index) const { return rows_.at(size_t(index - 1)); }

  // A row's text changed. While loading nothing is tracked; otherwise the
  // row is marked edited and navy and IsChanged becomes True. Returns
  // whether the change was tracked.
  bool textChanged(int index, const QString& text);
  bool loading() const { return loading_; }

  bool IsChanged() const { return changed_; }
  void setIsChanged(bool v);
  // Called with the new IsChanged on every write (enables "Save").
  void setChangedListener(std::function<void(bool)> listener) { changedListener_ = std::move(listener); }

  // Sends the edits: the edited rows' texts go into the record, then one
  // batch update of every pending change. On an error: the message
  // "number: description" with the exclamation icon, the current record
  // re-read from the source unless the kind is 5 or 9, IsChanged stays
  // True and the rows keep their texts. Returns whether it saved.
  bool SaveRecord();
  // The window closes without saving: the edited rows' texts that convert
  // become pending changes of the record, to be sent by a later save.
  void keepPending();

 private:
  void assignEdited(bool stopOnError);

  QLocale locale_;
  std::shared_ptr<dataaccess::Recordset> rs_;
  int32_t sourceKind_ = 0;
  std::vector<Row> rows_;
  bool loading_ = false;
  bool changed_ = false;
  std::function<void(bool)> changedListener_;
};

}  // namespace viewer::editor
