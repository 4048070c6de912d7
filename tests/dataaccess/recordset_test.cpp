#include "dataaccess/error.h"
#include "dataaccess/recordset.h"
#include "dataaccess/stream.h"
#include "dataaccess/values.h"

#include "testsupport/fakeprovider.h"
#include "testsupport/tempdir.h"

#include <gtest/gtest.h>

using namespace dataaccess;
using testsupport::FakeProvider;

namespace {

class RecordsetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cn = testsupport::fakeConnection(&fake);
    auto rows = fake->addTable("People", {FieldInfo("ID", adInteger, 4), FieldInfo("Name", adVarWChar, 50),
                                          FieldInfo("Born", adDate, 8)});
    rows->appendRow({qlonglong(1), QStringLiteral("Ann"), makeDateTime(QDate(1970, 5, 1))});
    rows->appendRow({qlonglong(2), QVariant(), QVariant()});
    rows->appendRow({qlonglong(3), QStringLiteral("Cy"), makeDateTime(QDate(2001, 1, 2), QTime(10, 5, 7))});
  }

  std::unique_ptr<Recordset> open(LockTypeEnum lock = adLockBatchOptimistic) {
    auto rs = std::make_unique<Recordset>();
    rs->setCursorLocation(adUseClient);
    rs->Open("SELECT * FROM People", cn, adOpenKeyset, lock, adCmdText);
    return rs;
  }

  FakeProvider* fake = nullptr;
  std::shared_ptr<Connection> cn;
};

}  // namespace

TEST_F(RecordsetTest, NavigatesWithBofEofAndPositions) {
  auto rs = open();
  EXPECT_EQ(rs->RecordCount(), 3);
  EXPECT_FALSE(rs->BOF());
  EXPECT_EQ(rs->AbsolutePosition(), 1);
  rs->MoveLast();
  EXPECT_EQ(rs->Fields("id").Value(), QVariant(qlonglong(3)));
  rs->MoveNext();
  EXPECT_TRUE(rs->IsEOF());
  EXPECT_EQ(rs->AbsolutePosition(), adPosEOF);
  EXPECT_THROW(rs->MoveNext(), Error);
  EXPECT_THROW(rs->Fields(0).Value(), Error);
  rs->MoveFirst();
  rs->MovePrevious();
  EXPECT_TRUE(rs->BOF());
  rs->setAbsolutePosition(2);
  EXPECT_FALSE(rs->Fields("Name").Value().isValid());
  EXPECT_THROW(rs->Fields("Nope"), Error);
}

TEST_F(RecordsetTest, EmptyRowsAreBothBofAndEof) {
  fake->addTable("Empty", {FieldInfo("A", adInteger)});
  Recordset rs;
  rs.Open("SELECT * FROM Empty", cn, adOpenKeyset, adLockBatchOptimistic);
  EXPECT_TRUE(rs.BOF());
  EXPECT_TRUE(rs.IsEOF());
  EXPECT_THROW(rs.GetString(), Error);
}

TEST_F(RecordsetTest, SourceCanOnlyChangeWhileClosedAndReopens) {
  auto rs = open();
  EXPECT_THROW(rs->setSource("SELECT * FROM [People]"), Error);
  rs->Close();
  rs->setSource("SELECT * FROM [People]");
  rs->Open();
  EXPECT_EQ(rs->Source(), "SELECT * FROM [People]");
  EXPECT_EQ(fake->statements.back(), "SELECT * FROM [People]");
  rs->Close();
  EXPECT_THROW(rs->Close(), Error);
}

TEST_F(RecordsetTest, GetStringStartsAtTheCurrentRowAndEndsAtEof) {
  auto rs = open();
  rs->MoveNext();
  EXPECT_EQ(rs->GetString(adClipString, -1, ",", "\r\n", "<null>"), "2,<null>,<null>\r\n3,Cy,1/2/2001 10:05:07 AM\r\n");
  EXPECT_TRUE(rs->IsEOF());
  rs->MoveFirst();
  EXPECT_EQ(rs->GetString(adClipString, 1, "\t", "|"), "1\tAnn\t5/1/1970|");
  EXPECT_EQ(rs->AbsolutePosition(), 2);
}

TEST_F(RecordsetTest, AssignmentsStayPendingUntilUpdateBatch) {
  auto rs = open();
  rs->Fields("Name").setValue(QStringLiteral("Anne"));
  rs->Fields("Born").setValue(QStringLiteral("2/3/1971"));
  EXPECT_EQ(rs->Fields("Name").Value(), QVariant(QStringLiteral("Anne")));
  EXPECT_EQ(rs->Fields("Name").OriginalValue(), QVariant(QStringLiteral("Ann")));
  EXPECT_TRUE(rs->hasPendingChanges());
  rs->MoveLast();
  rs->Fields("ID").setValue(QStringLiteral("30"));
  rs->UpdateBatch(adAffectAll);
  ASSERT_EQ(fake->batches.size(), 1u);
  const auto& batch = fake->batches[0];
  ASSERT_EQ(batch.size(), 2u);
  EXPECT_EQ(batch[0].row, 0);
  EXPECT_EQ(batch[0].changedFields, (std::vector<int>{1, 2}));
  EXPECT_EQ(batch[0].original[1], QVariant(QStringLiteral("Ann")));
  EXPECT_EQ(batch[0].current[2], QVariant(makeDateTime(QDate(1971, 2, 3))));
  EXPECT_EQ(batch[1].changedFields, (std::vector<int>{0}));
  EXPECT_FALSE(rs->hasPendingChanges());
  rs->MoveFirst();
  EXPECT_EQ(rs->Fields("Name").OriginalValue(), QVariant(QStringLiteral("Anne")));
  // Nothing pending: a second batch sends nothing.
  rs->UpdateBatch();
  EXPECT_EQ(fake->batches.size(), 1u);
}

TEST_F(RecordsetTest, AssigningTheOriginalValueBackIsNoChange) {
  auto rs = open();
  rs->Fields("Name").setValue(QStringLiteral("X"));
  rs->Fields("Name").setValue(QStringLiteral("Ann"));
  EXPECT_FALSE(rs->hasPendingChanges());
}

TEST_F(RecordsetTest, RefusedBatchKeepsEditsPendingAndResyncDropsThem) {
  auto rs = open();
  rs->Fields("Name").setValue(QStringLiteral("Zed"));
  fake->refuseNextBatch = true;
  try {
    rs->UpdateBatch();
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kRowConflict);
  }
  EXPECT_TRUE(rs->hasPendingChanges());
  EXPECT_EQ(rs->Fields("Name").Value(), QVariant(QStringLiteral("Zed")));
  rs->Resync(adAffectCurrent, adResyncAllValues);
  EXPECT_FALSE(rs->hasPendingChanges());
  EXPECT_EQ(rs->Fields("Name").Value(), QVariant(QStringLiteral("Ann")));
}

TEST_F(RecordsetTest, ReadOnlyRecordsetsRefuseAssignments) {
  auto rs = open(adLockReadOnly);
  EXPECT_THROW(rs->Fields("Name").setValue(QStringLiteral("x")), Error);
  fake->updatable = false;
  auto rs2 = open();
  rs2->Fields("Name").setValue(QStringLiteral("x"));
  try {
    rs2->UpdateBatch();
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kFeatureNotAvailable);
  }
}

TEST_F(RecordsetTest, BadValuesAreRefusedWithoutTouchingTheRecord) {
  auto rs = open();
  EXPECT_THROW(rs->Fields("ID").setValue(QStringLiteral("twelve")), Error);
  EXPECT_FALSE(rs->hasPendingChanges());
  EXPECT_EQ(rs->Fields("ID").Value(), QVariant(qlonglong(1)));
}

TEST_F(RecordsetTest, RequeryDropsPendingChangesAndReadsAgain) {
  auto rs = open();
  rs->Fields("Name").setValue(QStringLiteral("X"));
  rs->MoveLast();
  rs->Requery();
  EXPECT_FALSE(rs->hasPendingChanges());
  EXPECT_EQ(rs->AbsolutePosition(), 1);
  EXPECT_EQ(rs->Fields("Name").Value(), QVariant(QStringLiteral("Ann")));
}

TEST_F(RecordsetTest, SavedRowsetReopensWithTheSameValuesAndPendingEdits) {
  testsupport::TempDir dir;
  auto rs = open();
  rs->MoveLast();
  rs->Fields("Name").setValue(QStringLiteral("Cy <&> \"quoted\"\nline"));
  rs->Save(dir.file("people.xml"));
  EXPECT_EQ(rs->AbsolutePosition(), 3);  // saving does not move
  Recordset back;
  back.Open(dir.file("people.xml"), QStringLiteral("Provider=MSPERSIST"), adOpenStatic, adLockReadOnly, adCmdFile);
  ASSERT_EQ(back.RecordCount(), 3);
  ASSERT_EQ(back.FieldCount(), 3);
  EXPECT_EQ(back.Fields(2).Type(), adDate);
  for (int64_t r = 0; r < 3; ++r)
    for (int f = 0; f < 3; ++f) EXPECT_EQ(back.valueAt(r, f), rs->valueAt(r, f)) << r << "," << f;
}

TEST_F(RecordsetTest, SavesIntoAStreamAsUnicodeText) {
  auto rs = open();
  Stream st;
  st.setType(adTypeBinary);
  st.Open();
  rs->Save(st, adPersistXML);
  st.setPosition(0);
  st.setType(adTypeText);
  st.setCharset("UTF-16");
  const QString text = st.ReadText();
  EXPECT_TRUE(text.startsWith("<xml ")) << text.left(40).toStdString();
  EXPECT_TRUE(text.contains("urn:schemas-microsoft-com:rowset"));
  EXPECT_TRUE(text.contains("Name='Ann'"));
}

TEST_F(RecordsetTest, SchemaRowsetsComeAsReadOnlyRecordsets) {
  fake->addTable("Query1", {FieldInfo("X", adInteger)}, "VIEW");
  auto tables = cn->OpenSchema(adSchemaTables);
  ASSERT_EQ(tables->RecordCount(), 2);
  EXPECT_EQ(tables->Fields("TABLE_NAME").Value(), QVariant(QStringLiteral("People")));
  tables->MoveNext();
  EXPECT_EQ(tables->Fields("TABLE_TYPE").Value(), QVariant(QStringLiteral("VIEW")));
  auto columns = cn->OpenSchema(adSchemaColumns, {QVariant(), QVariant(), QStringLiteral("People"), QVariant()});
  ASSERT_EQ(columns->RecordCount(), 3);
  columns->MoveLast();
  EXPECT_EQ(columns->Fields("COLUMN_NAME").Value(), QVariant(QStringLiteral("Born")));
  EXPECT_EQ(columns->Fields("DATA_TYPE").Value(), QVariant(qlonglong(adDate)));
  EXPECT_EQ(columns->Fields("ORDINAL_POSITION").Value(), QVariant(qlonglong(3)));
  EXPECT_THROW(columns->Fields("COLUMN_NAME").setValue(QStringLiteral("x")), Error);
}

TEST(Connection, UnknownProvidersAndPropertiesGiveClearErrors) {
  Connection cn;
  try {
    cn.Open("Provider=SQLOLEDB;Data Source=x");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kProviderNotFound);
    EXPECT_TRUE(e.message().startsWith("-2146824582: "));
  }
  EXPECT_EQ(cn.State(), adStateClosed);
  EXPECT_THROW(cn.OpenSchema(adSchemaTables), Error);
  FakeProvider* fake = nullptr;
  auto open = testsupport::fakeConnection(&fake);
  fake->properties["DBMS Name"] = "Fake";
  EXPECT_EQ(open->Properties("dbms name"), QVariant("Fake"));
  EXPECT_THROW(open->Properties("User Name"), Error);
}
