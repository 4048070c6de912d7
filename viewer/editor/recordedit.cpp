#include "recordedit.h"

#include "dataaccess/error.h"
#include "viewer/datasource/sourcestate.h"
#include "fieldassign.h"
#include "viewer/prompts.h"

namespace viewer::editor {

using dataaccess::Error;

RecordEdit::RecordEdit(QLocale locale) : locale_(std::move(locale)) {}

void RecordEdit::load(std::shared_ptr<dataaccess::Recordset> rs, int32_t sourceKind) {
  loading_ = true;
  rs_ = std::move(rs);
  sourceKind_ = sourceKind;
  rows_.clear();
  if (rs_) {
    const int n = rs_->FieldCount();
    rows_.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
      const dataaccess::Field f = rs_->Fields(i);
      Row row;
      row.name = f.Name();
      row.type = f.Type();
      row.spec = fieldRowSpec(row.name, row.type, f.DefinedSize());
      row.text = rowText(f.Value(), row.type, locale_);
      rows_.push_back(std::move(row));
    }
  }
  loading_ = false;
  setIsChanged(false);
}

void RecordEdit::release() { rs_.reset(); }

bool RecordEdit::textChanged(int index, const QString& text) {
  if (index < 1 || index > rowCount()) return false;
  Row& row = rows_[size_t(index - 1)];
  row.text = text;
  if (loading_) return false;
  row.edited = true;
  row.coloured = true;
  setIsChanged(true);
  return true;
}

void RecordEdit::setIsChanged(bool v) {
  changed_ = v;
  if (changedListener_) changedListener_(v);
}

void RecordEdit::assignEdited(bool stopOnError) {
  for (int i = 0; i < rowCount(); ++i) {
    const Row& row = rows_[size_t(i)];
    if (!row.edited) continue;
    try {
      assignFieldText(rs_->Fields(i), row.text, locale_);
    } catch (const Error&) {
      if (stopOnError) throw;
    }
  }
}

bool RecordEdit::SaveRecord() {
  if (!changed_) return false;
  try {
    if (!rs_)
      throw Error(dataaccess::err::kObjectClosed, QStringLiteral("f_Edit"),
                  QStringLiteral("Operation is not allowed when the object is closed."));
    assignEdited(true);
    rs_->UpdateBatch(dataaccess::adAffectAll);
  } catch (const std::exception& ex) {
    const auto* e = dynamic_cast<const Error*>(&ex);
    prompts().message(e ? e->message() : QString::fromLocal8Bit(ex.what()), Prompts::Exclamation);
    if (rs_ && sourceKind_ != kind::Text && sourceKind_ != kind::Csv) {
      // The record as the source holds it now; the rows keep the user's
      // texts, so the next save sends them again.
      try {
        rs_->Resync(dataaccess::adAffectCurrent, dataaccess::adResyncAllValues);
      } catch (const Error&) {
        // A source that cannot be read again (file gone) keeps the record.
      }
    }
    return false;
  }
  for (Row& row : rows_) row.edited = false;
  setIsChanged(false);
  return true;
}

void RecordEdit::keepPending() {
  if (rs_ && changed_) assignEdited(false);
}

}  // namespace viewer::editor
