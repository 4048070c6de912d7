// A set of rows with a current position: the thin front the viewer, the
// editor, the export and the converter work with. It is always a client-side
// copy: the provider's rows are read once into a shared RowStore, edits are
// kept beside them as pending changes until UpdateBatch hands them to the
// provider in one batch.
#pragma once

#include "adtypes.h"
#include "connection.h"
#include "rowsview.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QIODevice;

namespace dataaccess {

class Stream;
class Recordset;

// One field of the current record. A light handle: it reads the recordset
// each time and stays valid while the recordset keeps its fields.
class Field {
 public:
  Field(Recordset* rs, int index) : rs_(rs), index_(index) {}
  const QString& Name() const;
  DataTypeEnum Type() const;
  int64_t DefinedSize() const;
  int Precision() const;
  int NumericScale() const;
  int Attributes() const;
  const FieldInfo& info() const;
  int index() const { return index_; }
  // The current record's value, with any pending change.
  QVariant Value() const;
  // The value as last read from (or saved to) the source.
  QVariant OriginalValue() const;
  // Assigns a value (text is converted to the field's type) and records it
  // as a pending change. Throws Error when the recordset is read-only, has
  // no current record, or the value does not convert.
  void setValue(const QVariant& v);

 private:
  Recordset* rs_;
  int index_;
};

class Recordset : public RowsView {
 public:
  Recordset();
  ~Recordset() override;
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Settings (before Open).
  CursorLocationEnum CursorLocation() const { return cursorLocation_; }
  void setCursorLocation(CursorLocationEnum v) { cursorLocation_ = v; }
  CursorTypeEnum CursorType() const { return cursorType_; }
  void setCursorType(CursorTypeEnum v) { cursorType_ = v; }
  LockTypeEnum LockType() const { return lockType_; }
  void setLockType(LockTypeEnum v) { lockType_ = v; }
  const QString& Source() const { return source_; }
  // Throws Error (kObjectOpen) while open: close, change, open again.
  void setSource(const QString& source);
  const std::shared_ptr<Connection>& ActiveConnection() const { return connection_; }
  void setActiveConnection(std::shared_ptr<Connection> cn);

  // Opens from a statement (adCmdText), table (adCmdTable) or file
  // (adCmdFile) on a connection. Empty arguments keep the current settings;
  // cursorType/lockType adOpenUnspecified/adLockUnspecified keep theirs.
  void Open(const QString& source = {}, std::shared_ptr<Connection> cn = {},
            CursorTypeEnum cursorType = adOpenUnspecified, LockTypeEnum lockType = adLockUnspecified,
            int options = adCmdUnspecified);
  // Opens through a connection string of its own ("Provider=MSPERSIST" with
  // adCmdFile reads a persisted XML file).
  void Open(const QString& source, const QString& connectionString,
            CursorTypeEnum cursorType = adOpenUnspecified, LockTypeEnum lockType = adLockUnspecified,
            int options = adCmdUnspecified);
  void Close();
  ObjectStateEnum State() const { return rows_ ? adStateOpen : adStateClosed; }
  // Runs the same source again; pending changes are dropped.
  void Requery();

  // Navigation.
  bool BOF() const;
  bool IsEOF() const;  // the classic EOF property (EOF is a C macro)
  void MoveFirst();
  void MoveLast();
  void MoveNext();
  void MovePrevious();
  void Move(int64_t offset);
  // 1-based position, or adPosBOF / adPosEOF / adPosUnknown.
  int64_t AbsolutePosition() const;
  void setAbsolutePosition(int64_t position);
  int64_t RecordCount() const;

  // Fields.
  int FieldCount() const;
  Field Fields(int index);
  // Throws Error (kItemNotFound).
  Field Fields(const QString& name);

  // Writes all rows (with their current values) as an XML rowset.
  void Save(const QString& path, PersistFormatEnum format = adPersistXML);
  void Save(Stream& stream, PersistFormatEnum format = adPersistXML);
  // Rows from the current one on as text: each field's ordinary text form
  // (values.h displayText) joined by colDelimiter, each row followed by
  // rowDelimiter; Null as nullExpr. Leaves the recordset after the last row
  // read. Throws Error (kNoCurrentRecord) at EOF.
  QString GetString(StringFormatEnum format = adClipString, int64_t numRows = -1,
                    const QString& colDelimiter = QStringLiteral("\t"),
                    const QString& rowDelimiter = QStringLiteral("\r"), const QString& nullExpr = QString());
  // GetString's text as UTF-8, built straight from the stored rows: the form
  // for writers of large tables.
  QByteArray GetStringUtf8(int64_t numRows = -1, const QString& colDelimiter = QStringLiteral("\t"),
                           const QString& rowDelimiter = QStringLiteral("\r"), const QString& nullExpr = QString());
  // Appends every row, from the first whatever the current record (which
  // stays where it is), to `out` as delimited UTF-8 for files other programs
  // read back: like GetStringUtf8, except that each value goes through
  // quoteDelimitedCell (cellformat.h). An empty rowset appends nothing.
  void AppendDelimitedRowsUtf8(QByteArray& out, const QString& colDelimiter, const QString& rowDelimiter,
                               const QString& nullExpr = QString()) const;
  // The text of AppendDelimitedRowsUtf8 handed to `write` in pieces of
  // about a megabyte, each ending at a row's end, in order, so that a large
  // table is written without its whole text in memory. Rows are formatted
  // on two threads; `write` is called on this one.
  void WriteDelimitedRowsUtf8(const std::function<void(const QByteArray&)>& write, const QString& colDelimiter,
                              const QString& rowDelimiter, const QString& nullExpr = QString()) const;
  // Writes the XML rowset of Save to an open device.
  void Save(QIODevice& device);

  // Sends every pending change (adAffectAll) or those of the current record
  // (adAffectCurrent) to the provider in one batch. On failure nothing is
  // marked saved and the error is raised.
  void UpdateBatch(AffectEnum affect = adAffectAll);
  // Drops pending changes.
  void CancelBatch(AffectEnum affect = adAffectAll);
  // Reads the current record (adAffectCurrent) or every edited record
  // (adAffectAll) again from the source, dropping its pending changes.
  void Resync(AffectEnum affect = adAffectAll, ResyncEnum values = adResyncAllValues);

  // Random access for the grid: the current value of any row (0-based).
  QVariant valueAt(int64_t row, int field) const;
  bool hasPendingChanges() const;
  // 0-based index of the current row (-1 at BOF, RecordCount() at EOF).
  int64_t currentRow() const { return position_; }
  // Called with currentRow() after every move of the current record by
  // navigation (Move*, AbsolutePosition, GetString); not when Open or
  // Requery replace the rows. The grid follows the current record with it.
  // One listener at a time; an empty function removes it.
  void setPositionListener(std::function<void(int64_t)> listener);

  // RowsView
  const std::vector<FieldInfo>& fields() const override;
  int64_t rowCount() const override;
  const RowStore& store() const override;
  const std::vector<QVariant>* editedRow(int64_t row) const override;

  // Shows rows that were produced elsewhere (schema rowsets).
  void attach(RowStorePtr rows, std::shared_ptr<Connection> cn, const QString& source, CursorTypeEnum cursorType,
              LockTypeEnum lockType);

 private:
  friend class Field;
  // Appends rows [begin, end) to `out` as GetStringUtf8 writes them; with
  // `quote`, values holding the delimiters or a quote are quoted.
  void appendRowsUtf8(QByteArray& out, int64_t begin, int64_t end, const QByteArray& col, const QByteArray& row,
                      const QByteArray& null, bool quote) const;
  struct RowEdit {
    std::vector<QVariant> original;  // as read or last saved
    std::vector<QVariant> current;   // with pending changes
    std::vector<uint8_t> changed;    // 1 where a change is pending
    bool pending = false;
  };

  void requireOpen(const char* what) const;
  void requireCurrent(const char* what) const;
  RowEdit& editOf(int64_t row);
  std::vector<QVariant> storedRow(int64_t row) const;
  void moved();

  CursorLocationEnum cursorLocation_ = adUseServer;
  CursorTypeEnum cursorType_ = adOpenForwardOnly;
  LockTypeEnum lockType_ = adLockReadOnly;
  int options_ = adCmdText;
  QString source_;
  std::shared_ptr<Connection> connection_;
  RowStorePtr rows_;
  int64_t position_ = 0;
  std::map<int64_t, RowEdit> edits_;
  std::function<void(int64_t)> positionListener_;
};

}  // namespace dataaccess
