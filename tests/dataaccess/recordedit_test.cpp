// The steps the dBase/FoxPro and Paradox providers share when they write
// edited records back: matching fields to columns, refusing a batch that
// names a record twice or a field the table lacks, noticing a record another
// program changed, and reading a row again.
#include "dataaccess/recordedit.h"

#include "dataaccess/error.h"

#include <gtest/gtest.h>

using namespace dataaccess;

namespace {

struct Column {
  QString name;
};

// Fields "Id", "name" and "Extra" (which the table lacks) and one row.
std::unique_ptr<RowStore> sampleRows() {
  auto rows = std::make_unique<RowStore>(std::vector<FieldInfo>{
      FieldInfo("Id", adInteger, 4), FieldInfo("name", adVarWChar, 20), FieldInfo("Extra", adVarWChar, 20)});
  rows->appendRow({qlonglong(7), QStringLiteral("Ann"), QStringLiteral("x")});
  return rows;
}

// The table's columns in another order and letter case.
const std::vector<Column> kColumns = {{QStringLiteral("NAME")}, {QStringLiteral("ID")}, {QStringLiteral("ID")}};

RowChange change(int64_t key, std::vector<QVariant> original, std::vector<int> fields = {}) {
  RowChange ch;
  ch.rowKey = key;
  ch.current = original;
  ch.original = std::move(original);
  ch.changedFields = std::move(fields);
  return ch;
}

}  // namespace

TEST(RecordEdit, FieldsMatchTheFirstColumnOfTheirNameIgnoringCase) {
  const std::unique_ptr<RowStore> rowsPtr = sampleRows();
  const RowStore& rows = *rowsPtr;
  EXPECT_EQ(recordedit::columnMap(rows, kColumns), (std::vector<int>{1, 0, -1}));
  EXPECT_EQ(recordedit::columnMap(rows, std::vector<Column>{}), (std::vector<int>{-1, -1, -1}));
}

TEST(RecordEdit, EachRecordOnceAndOnlyRealRecords) {
  std::set<int64_t> seen;
  const std::vector<QVariant> values = {qlonglong(7), QStringLiteral("Ann"), QStringLiteral("x")};
  EXPECT_NO_THROW(recordedit::claimRecord(seen, change(0, values), QStringLiteral("T.UpdateBatch")));
  EXPECT_NO_THROW(recordedit::claimRecord(seen, change(5, values), QStringLiteral("T.UpdateBatch")));
  for (int64_t key : {int64_t(5), int64_t(-1)}) {
    try {
      recordedit::claimRecord(seen, change(key, values), QStringLiteral("T.UpdateBatch"));
      ADD_FAILURE() << "record " << key << " accepted";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), err::kInvalidArgument);
      EXPECT_EQ(e.source(), QStringLiteral("T.UpdateBatch"));
    }
  }
}

TEST(RecordEdit, ARecordChangedSinceItWasReadIsAConflictNamingRecordAndField) {
  const std::unique_ptr<RowStore> rowsPtr = sampleRows();
  const RowStore& rows = *rowsPtr;
  const std::vector<int> map = recordedit::columnMap(rows, kColumns);
  const RowChange ch = change(2, {qlonglong(7), QStringLiteral("Ann"), QStringLiteral("x")});
  // The field the table lacks is never compared.
  std::vector<QVariant> onDisk = {QStringLiteral("Ann"), qlonglong(7)};
  const auto now = [&](int col) { return onDisk.at(size_t(col)); };
  EXPECT_NO_THROW(recordedit::checkUnchanged(rows, ch, map, now, QStringLiteral("people"), QStringLiteral("S")));

  onDisk[0] = QStringLiteral("Bob");
  try {
    recordedit::checkUnchanged(rows, ch, map, now, QStringLiteral("people"), QStringLiteral("S"));
    FAIL() << "a changed record was not noticed";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kRowConflict);
    EXPECT_TRUE(e.description().contains(QStringLiteral("record 3 of table 'people'"))) << e.message().toStdString();
    EXPECT_TRUE(e.description().contains(QStringLiteral("field 'name'"))) << e.message().toStdString();
  }
}

TEST(RecordEdit, AChangedFieldNeedsAColumnAndAValue) {
  const std::unique_ptr<RowStore> rowsPtr = sampleRows();
  const RowStore& rows = *rowsPtr;
  const std::vector<int> map = recordedit::columnMap(rows, kColumns);
  RowChange ch = change(0, {qlonglong(7), QStringLiteral("Ann"), QStringLiteral("x")});
  EXPECT_EQ(recordedit::changedColumn(ch, 1, map, QStringLiteral("S")), 0);
  for (int field : {2, -1, 3}) EXPECT_THROW(recordedit::changedColumn(ch, field, map, QStringLiteral("S")), Error) << field;
  ch.current.resize(1);  // no current value for field 1
  EXPECT_THROW(recordedit::changedColumn(ch, 1, map, QStringLiteral("S")), Error);
}

TEST(RecordEdit, RereadTakesTheRecordAndKeepsWhatTheTableLacks) {
  const std::unique_ptr<RowStore> rowsPtr = sampleRows();
  const RowStore& rows = *rowsPtr;
  const std::vector<int> map = recordedit::columnMap(rows, kColumns);
  const std::vector<QVariant> onDisk = {QStringLiteral("Bob"), qlonglong(8)};
  const auto now = [&](int col) { return onDisk.at(size_t(col)); };
  EXPECT_EQ(recordedit::reread(rows, map, {qlonglong(7), QStringLiteral("Ann"), QStringLiteral("x")}, now),
            (std::vector<QVariant>{qlonglong(8), QStringLiteral("Bob"), QStringLiteral("x")}));
  // Fewer original values than fields: the rest read as Null.
  const std::vector<QVariant> got = recordedit::reread(rows, map, {}, now);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_TRUE(got[2].isNull());
}
