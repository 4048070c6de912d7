#include "recordset.h"

#include "cellformat.h"
#include "delimitedrows.h"
#include "error.h"
#include "rowsetxmlwriter.h"
#include "stream.h"
#include "values.h"

#include <QBuffer>
#include <QSaveFile>

#include <algorithm>
#include <bit>
#include <exception>
#include <thread>

namespace dataaccess {

namespace {

// Rows of a sorted or filtered result lie scattered over the table's
// columns (column views). One tight pass over a block of them, column by
// column, has the processor fetch their cells from memory many at a time,
// so that formatting them after it does not wait for memory cell by cell.
constexpr int64_t kWarmRows = 128;

bool hasViews(const RowStore& rows) {
  for (int f = 0; f < rows.fieldCount(); ++f)
    if (rows.column(f).isView()) return true;
  return false;
}

void warmRows(const RowStore& rows, int64_t begin, int64_t end) {
  uint64_t sink = 0;
  for (int f = 0; f < rows.fieldCount(); ++f) {
    const ColumnStore& c = rows.column(f);
    if (!c.isView() || c.hasReplacements()) continue;
    switch (c.storage()) {
      case ColumnStore::Storage::Text: case ColumnStore::Storage::Bytes:
        for (int64_t r = begin; r < end; ++r) {
          const std::string_view b = c.bytesAt(r);
          sink += b.empty() ? 0 : uint8_t(b.front());
        }
        break;
      case ColumnStore::Storage::Integer: case ColumnStore::Storage::DateTime:
        for (int64_t r = begin; r < end; ++r) sink += uint64_t(c.integerAt(r));
        break;
      case ColumnStore::Storage::Real:
        for (int64_t r = begin; r < end; ++r) sink += std::bit_cast<uint64_t>(c.realAt(r));
        break;
      case ColumnStore::Storage::Boolean:
        for (int64_t r = begin; r < end; ++r) sink += c.booleanAt(r);
        break;
    }
  }
  asm volatile("" : : "r"(sink));  // the reads are the point: keep them
}

[[noreturn]] void noCurrentRecord(const char* what) {
  throw Error(err::kNoCurrentRecord, QStringLiteral("Recordset.%1").arg(QLatin1String(what)),
              QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. Requested "
                             "operation requires a current record."));
}

}  // namespace

// ---- Field -----------------------------------------------------------------

const FieldInfo& Field::info() const { return rs_->rows_->field(index_); }
const QString& Field::Name() const { return info().name; }
DataTypeEnum Field::Type() const { return info().type; }
int64_t Field::DefinedSize() const { return info().definedSize; }
int Field::Precision() const { return info().precision; }
int Field::NumericScale() const { return info().numericScale; }
int Field::Attributes() const { return info().attributes(); }

QVariant Field::Value() const {
  rs_->requireCurrent("Fields.Value");
  return rs_->valueAt(rs_->position_, index_);
}

QVariant Field::OriginalValue() const {
  rs_->requireCurrent("Fields.OriginalValue");
  auto it = rs_->edits_.find(rs_->position_);
  if (it != rs_->edits_.end()) return it->second.original[size_t(index_)];
  return rs_->rows_->value(rs_->position_, index_);
}

void Field::setValue(const QVariant& v) {
  rs_->requireCurrent("Fields.Value");
  if (rs_->lockType_ == adLockReadOnly)
    throw Error(err::kFeatureNotAvailable, QStringLiteral("Fields.Value"),
                QStringLiteral("Current Recordset does not support updating. This may be a limitation of the "
                               "provider, or of the selected locktype."));
  const FieldInfo& f = info();
  const QVariant canonical = coerceValue(v, f.type, f.name);
  Recordset::RowEdit& e = rs_->editOf(rs_->position_);
  e.current[size_t(index_)] = canonical;
  e.changed[size_t(index_)] = sameValue(canonical, e.original[size_t(index_)]) ? 0 : 1;
  e.pending = false;
  for (uint8_t c : e.changed) e.pending = e.pending || c;
}

// ---- Recordset ---------------------------------------------------------------

Recordset::Recordset() = default;
Recordset::~Recordset() = default;

void Recordset::requireOpen(const char* what) const {
  if (!rows_)
    throw Error(err::kObjectClosed, QStringLiteral("Recordset.%1").arg(QLatin1String(what)),
                QStringLiteral("Operation is not allowed when the object is closed."));
}

void Recordset::requireCurrent(const char* what) const {
  requireOpen(what);
  if (position_ < 0 || position_ >= rows_->rowCount()) noCurrentRecord(what);
}

void Recordset::setSource(const QString& source) {
  if (rows_)
    throw Error(err::kObjectOpen, QStringLiteral("Recordset.Source"),
                QStringLiteral("Operation is not allowed when the object is open."));
  source_ = source;
}

void Recordset::setActiveConnection(std::shared_ptr<Connection> cn) { connection_ = std::move(cn); }

void Recordset::Open(const QString& source, std::shared_ptr<Connection> cn, CursorTypeEnum cursorType,
                     LockTypeEnum lockType, int options) {
  if (rows_)
    throw Error(err::kObjectOpen, QStringLiteral("Recordset.Open"),
                QStringLiteral("Operation is not allowed when the object is open."));
  if (!source.isEmpty()) source_ = source;
  if (cn) connection_ = std::move(cn);
  if (cursorType != adOpenUnspecified) cursorType_ = cursorType;
  if (lockType != adLockUnspecified) lockType_ = lockType;
  if (options != adCmdUnspecified) options_ = options;
  if (!connection_ || connection_->State() != adStateOpen)
    throw Error(err::kObjectClosed, QStringLiteral("Recordset.Open"),
                QStringLiteral("The connection cannot be used to perform this operation. It is either closed or "
                               "invalid in this context."));
  if (source_.trimmed().isEmpty())
    throw Error(err::kInvalidArgument, QStringLiteral("Recordset.Open"),
                QStringLiteral("Command text was not set for the command object."));
  int opts = options_ & (adCmdText | adCmdTable | adCmdFile);
  if (opts == 0) opts = adCmdText;
  RowStorePtr rows = connection_->provider().execute(source_, opts);
  edits_.clear();
  rows_ = std::move(rows);
  position_ = 0;
}

void Recordset::Open(const QString& source, const QString& connectionString, CursorTypeEnum cursorType,
                     LockTypeEnum lockType, int options) {
  auto cn = std::make_shared<Connection>();
  cn->Open(connectionString);
  Open(source, cn, cursorType, lockType, options);
}

void Recordset::attach(RowStorePtr rows, std::shared_ptr<Connection> cn, const QString& source,
                       CursorTypeEnum cursorType, LockTypeEnum lockType) {
  rows_ = std::move(rows);
  connection_ = std::move(cn);
  source_ = source;
  cursorLocation_ = adUseClient;
  cursorType_ = cursorType;
  lockType_ = lockType;
  edits_.clear();
  position_ = 0;
}

void Recordset::Close() {
  requireOpen("Close");
  rows_.reset();
  edits_.clear();
  position_ = 0;
}

void Recordset::Requery() {
  requireOpen("Requery");
  if (!connection_ || source_.isEmpty()) {
    // Rows that came from no statement (a schema rowset) stay as they are.
    CancelBatch();
    position_ = 0;
    return;
  }
  RowStorePtr rows = connection_->provider().execute(source_, options_ & (adCmdText | adCmdTable | adCmdFile)
                                                                  ? options_ & (adCmdText | adCmdTable | adCmdFile)
                                                                  : adCmdText);
  edits_.clear();
  rows_ = std::move(rows);
  position_ = 0;
}

bool Recordset::BOF() const {
  requireOpen("BOF");
  return position_ < 0 || rows_->rowCount() == 0;
}

bool Recordset::IsEOF() const {
  requireOpen("EOF");
  return position_ >= rows_->rowCount();
}

void Recordset::MoveFirst() {
  requireOpen("MoveFirst");
  position_ = 0;
  moved();
}

void Recordset::MoveLast() {
  requireOpen("MoveLast");
  if (rows_->rowCount() == 0) noCurrentRecord("MoveLast");
  position_ = rows_->rowCount() - 1;
  moved();
}

void Recordset::MoveNext() {
  requireOpen("MoveNext");
  if (position_ >= rows_->rowCount()) noCurrentRecord("MoveNext");
  ++position_;
  moved();
}

void Recordset::MovePrevious() {
  requireOpen("MovePrevious");
  if (position_ < 0) noCurrentRecord("MovePrevious");
  --position_;
  moved();
}

void Recordset::Move(int64_t offset) {
  requireOpen("Move");
  if (offset != 0 && (position_ < 0 || position_ >= rows_->rowCount())) noCurrentRecord("Move");
  position_ = std::clamp<int64_t>(position_ + offset, -1, rows_->rowCount());
  moved();
}

int64_t Recordset::AbsolutePosition() const {
  requireOpen("AbsolutePosition");
  if (rows_->rowCount() == 0) return adPosUnknown;
  if (position_ < 0) return adPosBOF;
  if (position_ >= rows_->rowCount()) return adPosEOF;
  return position_ + 1;
}

void Recordset::setAbsolutePosition(int64_t position) {
  requireOpen("AbsolutePosition");
  if (position < 1 || position > rows_->rowCount())
    throw Error(err::kInvalidArgument, QStringLiteral("Recordset.AbsolutePosition"),
                QStringLiteral("Arguments are of the wrong type, are out of acceptable range, or are in conflict "
                               "with one another."));
  position_ = position - 1;
  moved();
}

int64_t Recordset::RecordCount() const {
  requireOpen("RecordCount");
  return rows_->rowCount();
}

int Recordset::FieldCount() const {
  requireOpen("Fields");
  return rows_->fieldCount();
}

Field Recordset::Fields(int index) {
  requireOpen("Fields");
  if (index < 0 || index >= rows_->fieldCount())
    throw Error(err::kItemNotFound, QStringLiteral("Recordset.Fields"),
                QStringLiteral("Item cannot be found in the collection corresponding to the requested name or "
                               "ordinal."));
  return Field(this, index);
}

Field Recordset::Fields(const QString& name) {
  requireOpen("Fields");
  const int i = rows_->fieldIndex(name);
  if (i < 0)
    throw Error(err::kItemNotFound, QStringLiteral("Recordset.Fields"),
                QStringLiteral("Item cannot be found in the collection corresponding to the requested name or "
                               "ordinal. (%1)")
                    .arg(name));
  return Field(this, i);
}

std::vector<QVariant> Recordset::storedRow(int64_t row) const {
  std::vector<QVariant> values;
  values.reserve(size_t(rows_->fieldCount()));
  for (int f = 0; f < rows_->fieldCount(); ++f) values.push_back(rows_->value(row, f));
  return values;
}

Recordset::RowEdit& Recordset::editOf(int64_t row) {
  auto it = edits_.find(row);
  if (it != edits_.end()) return it->second;
  RowEdit e;
  e.original = storedRow(row);
  e.current = e.original;
  e.changed.assign(e.original.size(), 0);
  return edits_.emplace(row, std::move(e)).first->second;
}

QVariant Recordset::valueAt(int64_t row, int field) const {
  if (!rows_) return {};
  auto it = edits_.find(row);
  if (it != edits_.end()) return it->second.current[size_t(field)];
  return rows_->value(row, field);
}

void Recordset::setPositionListener(std::function<void(int64_t)> listener) { positionListener_ = std::move(listener); }

void Recordset::moved() {
  if (positionListener_) positionListener_(position_);
}

bool Recordset::hasPendingChanges() const {
  for (const auto& [row, e] : edits_)
    if (e.pending) return true;
  return false;
}

const std::vector<FieldInfo>& Recordset::fields() const {
  requireOpen("Fields");
  return rows_->fields();
}

int64_t Recordset::rowCount() const { return rows_ ? rows_->rowCount() : 0; }

const RowStore& Recordset::store() const {
  requireOpen("store");
  return *rows_;
}

const std::vector<QVariant>* Recordset::editedRow(int64_t row) const {
  if (edits_.empty()) return nullptr;
  auto it = edits_.find(row);
  return it == edits_.end() ? nullptr : &it->second.current;
}

void Recordset::Save(const QString& path, PersistFormatEnum format) {
  requireOpen("Save");
  if (format != adPersistXML)
    throw Error(err::kInvalidArgument, QStringLiteral("Recordset.Save"),
                QStringLiteral("Only the XML persistence format is supported."));
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly))
    throw Error(err::kProviderFailure, QStringLiteral("Recordset.Save"),
                QStringLiteral("The file '%1' could not be written: %2").arg(path, f.errorString()));
  writeRowsetXml(*this, f);
  if (!f.commit())
    throw Error(err::kProviderFailure, QStringLiteral("Recordset.Save"),
                QStringLiteral("The file '%1' could not be written: %2").arg(path, f.errorString()));
}

void Recordset::Save(QIODevice& device) {
  requireOpen("Save");
  writeRowsetXml(*this, device);
}

void Recordset::Save(Stream& stream, PersistFormatEnum format) {
  requireOpen("Save");
  if (format != adPersistXML)
    throw Error(err::kInvalidArgument, QStringLiteral("Recordset.Save"),
                QStringLiteral("Only the XML persistence format is supported."));
  if (stream.State() != adStateOpen) stream.Open();
  QByteArray utf8;
  {
    QBuffer buffer(&utf8);
    buffer.open(QIODevice::WriteOnly);
    writeRowsetXml(*this, buffer);
  }
  // A stream receives the text as UTF-16 with a byte-order mark, so that
  // reading it back as "Unicode"/"UTF-16" text gives the document.
  const QString text = QString::fromUtf8(utf8);
  QByteArray bytes("\xFF\xFE", 2);
  bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
  const StreamTypeEnum type = stream.Type();
  stream.setType(adTypeBinary);
  stream.Write(bytes);
  if (type != adTypeBinary && stream.Position() == 0) stream.setType(type);
}

QString Recordset::GetString(StringFormatEnum format, int64_t numRows, const QString& colDelimiter,
                             const QString& rowDelimiter, const QString& nullExpr) {
  requireOpen("GetString");
  if (format != adClipString)
    throw Error(err::kInvalidArgument, QStringLiteral("Recordset.GetString"),
                QStringLiteral("Only the delimited string format is supported."));
  return QString::fromUtf8(GetStringUtf8(numRows, colDelimiter, rowDelimiter, nullExpr));
}

QByteArray Recordset::GetStringUtf8(int64_t numRows, const QString& colDelimiter, const QString& rowDelimiter,
                                    const QString& nullExpr) {
  requireOpen("GetString");
  if (position_ < 0 || position_ >= rows_->rowCount()) noCurrentRecord("GetString");
  const int64_t end = numRows < 0 ? rows_->rowCount() : std::min(rows_->rowCount(), position_ + numRows);
  QByteArray out;
  appendRowsUtf8(out, position_, end, colDelimiter.toUtf8(), rowDelimiter.toUtf8(), nullExpr.toUtf8(), false);
  position_ = end;
  moved();
  return out;
}

void Recordset::AppendDelimitedRowsUtf8(QByteArray& out, const QString& colDelimiter, const QString& rowDelimiter,
                                        const QString& nullExpr) const {
  requireOpen("GetString");
  appendRowsUtf8(out, 0, rows_->rowCount(), colDelimiter.toUtf8(), rowDelimiter.toUtf8(), nullExpr.toUtf8(), true);
}

void Recordset::WriteDelimitedRowsUtf8(const std::function<void(const QByteArray&)>& write,
                                       const QString& colDelimiter, const QString& rowDelimiter,
                                       const QString& nullExpr) const {
  requireOpen("GetString");
  const QByteArray col = colDelimiter.toUtf8(), row = rowDelimiter.toUtf8(), null = nullExpr.toUtf8();
  const int64_t rows = rows_->rowCount();
  constexpr int64_t kPiece = int64_t(1) << 20;
  // Rows per piece, from the width of the rows written so far.
  int64_t step = 256, doneRows = 0, doneBytes = 0;
  QByteArray a, b;
  for (int64_t r = 0; r < rows;) {
    const int64_t aEnd = std::min(rows, r + step), bEnd = std::min(rows, aEnd + step);
    a.resize(0);
    b.resize(0);
    // The second core formats the following piece while this one formats
    // and writes its own.
    std::exception_ptr failed;
    std::thread other;
    if (bEnd > aEnd) {
      other = std::thread([&] {
        try {
          appendRowsUtf8(b, aEnd, bEnd, col, row, null, true);
        } catch (...) {
          failed = std::current_exception();
        }
      });
    }
    try {
      appendRowsUtf8(a, r, aEnd, col, row, null, true);
      write(a);
    } catch (...) {
      if (other.joinable()) other.join();
      throw;
    }
    if (other.joinable()) other.join();
    if (failed) std::rethrow_exception(failed);
    if (!b.isEmpty()) write(b);
    doneRows += bEnd - r;
    doneBytes += a.size() + b.size();
    step = std::clamp<int64_t>(kPiece * doneRows / std::max<int64_t>(1, doneBytes), 1, 1 << 16);
    r = bEnd;
  }
}

void Recordset::appendRowsUtf8(QByteArray& out, int64_t begin, int64_t end, const QByteArray& col,
                               const QByteArray& row, const QByteArray& null, bool quote) const {
  const DelimitedRowWriter writer(*this, col, row, null, quote);
  if (!hasViews(*rows_)) {
    writer.appendRows(out, begin, end);
    return;
  }
  for (int64_t r = begin; r < end; r += kWarmRows) {
    const int64_t blockEnd = std::min(end, r + kWarmRows);
    warmRows(*rows_, r, blockEnd);
    writer.appendRows(out, r, blockEnd);
  }
}

void Recordset::UpdateBatch(AffectEnum affect) {
  requireOpen("UpdateBatch");
  if (affect == adAffectCurrent) requireCurrent("UpdateBatch");
  std::vector<RowChange> changes;
  for (auto& [row, e] : edits_) {
    if (!e.pending || (affect == adAffectCurrent && row != position_)) continue;
    RowChange c;
    c.row = row;
    c.rowKey = rows_->rowKey(row);
    c.original = e.original;
    c.current = e.current;
    for (size_t i = 0; i < e.changed.size(); ++i)
      if (e.changed[i]) c.changedFields.push_back(int(i));
    changes.push_back(std::move(c));
  }
  if (changes.empty()) return;
  if (lockType_ == adLockReadOnly)
    throw Error(err::kFeatureNotAvailable, QStringLiteral("Recordset.UpdateBatch"),
                QStringLiteral("Current Recordset does not support updating. This may be a limitation of the "
                               "provider, or of the selected locktype."));
  if (!connection_ || connection_->State() != adStateOpen)
    throw Error(err::kObjectClosed, QStringLiteral("Recordset.UpdateBatch"),
                QStringLiteral("The connection cannot be used to perform this operation. It is either closed or "
                               "invalid in this context."));
  connection_->provider().applyBatch(*rows_, changes);
  for (const RowChange& c : changes) {
    RowEdit& e = edits_[c.row];
    e.original = e.current;
    std::fill(e.changed.begin(), e.changed.end(), 0);
    e.pending = false;
  }
}

void Recordset::CancelBatch(AffectEnum affect) {
  requireOpen("CancelBatch");
  for (auto& [row, e] : edits_) {
    if (affect == adAffectCurrent && row != position_) continue;
    e.current = e.original;
    std::fill(e.changed.begin(), e.changed.end(), 0);
    e.pending = false;
  }
}

void Recordset::Resync(AffectEnum affect, ResyncEnum values) {
  requireOpen("Resync");
  (void)values;  // both forms read every value again; pending changes are dropped
  if (!connection_ || connection_->State() != adStateOpen)
    throw Error(err::kObjectClosed, QStringLiteral("Recordset.Resync"),
                QStringLiteral("The connection cannot be used to perform this operation. It is either closed or "
                               "invalid in this context."));
  std::vector<int64_t> rows;
  if (affect == adAffectCurrent) {
    requireCurrent("Resync");
    rows.push_back(position_);
  } else {
    for (const auto& [row, e] : edits_) rows.push_back(row);
  }
  for (int64_t row : rows) {
    auto it = edits_.find(row);
    const std::vector<QVariant> original = it != edits_.end() ? it->second.original : storedRow(row);
    std::vector<QVariant> fresh = connection_->provider().reread(*rows_, row, original);
    RowEdit& e = editOf(row);
    fresh.resize(e.original.size());
    e.original = fresh;
    e.current = std::move(fresh);
    std::fill(e.changed.begin(), e.changed.end(), 0);
    e.pending = false;
  }
}

}  // namespace dataaccess
