// The record editor's rules and state without widgets: the row per field
// type, the aids' text rules, change tracking and saving through the batch
// update, and the scroll set-up.
#include "dataaccess/error.h"
#include "dataaccess/recordset.h"
#include "dataaccess/values.h"
#include "testsupport/fakeprovider.h"
#include "viewer/datasource/sourcestate.h"
#include "viewer/editor/editorrules.h"
#include "viewer/editor/fieldassign.h"
#include "viewer/editor/recordedit.h"
#include "viewertestsupport.h"

#include <gtest/gtest.h>

using namespace viewer::editor;
using namespace dataaccess;

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kDe(QLocale::German, QLocale::Germany);

struct FakeTable {
  testsupport::FakeProvider* fake = nullptr;
  std::shared_ptr<Recordset> rs;
};

// A one-row table with a field of each kind the editor treats apart.
FakeTable openPeople() {
  FakeTable t;
  auto cn = testsupport::fakeConnection(&t.fake);
  auto rows = t.fake->addTable("People", {{"Id", adInteger},
                                          {"Name", adVarWChar, 40},
                                          {"Born", adDate},
                                          {"Member", adBoolean},
                                          {"Notes", adLongVarWChar, 0},
                                          {"Code", adChar, 30}});
  rows->appendRow({QVariant(qlonglong(1)), QVariant(QStringLiteral("Ada")),
                   QVariant(makeDateTime(QDate(1990, 5, 17), QTime(8, 30))), QVariant(false),
                   QVariant(QStringLiteral("long text")), QVariant(QStringLiteral("AB"))});
  t.rs = std::make_shared<Recordset>();
  t.rs->Open(QStringLiteral("SELECT * FROM People"), cn, adOpenKeyset, adLockBatchOptimistic, adCmdText);
  return t;
}

}  // namespace

TEST(EditorRows, LengthAndAidByFieldType) {
  // 30 characters: a limit and no aid; 31: a limit and the long-text aid.
  auto s30 = fieldRowSpec("A", adVarWChar, 30);
  EXPECT_EQ(s30.maxLength, 30);
  EXPECT_TRUE(s30.aid.isEmpty());
  auto s31 = fieldRowSpec("A", adChar, 31);
  EXPECT_EQ(s31.maxLength, 31);
  EXPECT_EQ(s31.aid, "TEXT");
  // 7999 is the last limited size; 8000 and 0 (memo) are unlimited.
  EXPECT_EQ(fieldRowSpec("A", adVarChar, 7999).maxLength, 7999);
  for (int64_t size : {int64_t(8000), int64_t(0), int64_t(1) << 31}) {
    auto s = fieldRowSpec("A", adLongVarWChar, size);
    EXPECT_EQ(s.maxLength, 0) << size;
    EXPECT_EQ(s.aid, "TEXT") << size;
  }
  EXPECT_EQ(fieldRowSpec("A", adVarWChar, 1).maxLength, 1);
  for (DataTypeEnum t : {adDate, adFileTime, adDBDate, adDBTime, adDBTimeStamp}) {
    EXPECT_EQ(fieldRowSpec("A", t, 8).aid, "DATE") << t;
    EXPECT_EQ(fieldRowSpec("A", t, 8).maxLength, 0) << t;
  }
  EXPECT_EQ(fieldRowSpec("A", adBoolean, 2).aid, "BOOLEAN");
  for (DataTypeEnum t : {adInteger, adDouble, adCurrency, adNumeric, adGUID, adBinary}) {
    auto s = fieldRowSpec("A", t, 20);
    EXPECT_EQ(s.maxLength, 0) << t;
    EXPECT_TRUE(s.aid.isEmpty()) << t;
  }
  EXPECT_EQ(fieldRowSpec("Unit Price", adCurrency, 8).caption, "Unit Price:");
}

TEST(EditorRows, GeometryAndContentSize) {
  EXPECT_EQ(rowTop(1), 100);
  EXPECT_EQ(rowTop(2), 485);
  EXPECT_EQ(rowTop(3), 870);
  EXPECT_EQ(kTextLeft, 3410);
  EXPECT_EQ(kButtonLeft, 6530);
  EXPECT_EQ(contentWidth(), 7630);
  EXPECT_EQ(contentHeight(20), 10905);
  // Below the last row there is room for either aid.
  const int lastBottom = rowTop(20) + kRowHeight;
  EXPECT_EQ(contentHeight(20) - lastBottom, 2805 + 20 * 20);
  EXPECT_EQ(floatingAidTop(rowTop(20), kRowHeight, kPanelHeight, contentHeight(20)), lastBottom);
  EXPECT_EQ(floatingAidTop(rowTop(20), kRowHeight, kCalendarHeight, contentHeight(20)), lastBottom);
  // A panel too short below the row opens upwards, ending at the row's top.
  EXPECT_EQ(floatingAidTop(1000, kRowHeight, kPanelHeight, 2000), 1000 - kPanelHeight);
}

TEST(EditorAids, ToggleComplementsAWholeNumber) {
  EXPECT_EQ(toggledBooleanText("0"), "-1");
  EXPECT_EQ(toggledBooleanText("-1"), "0");
  EXPECT_EQ(toggledBooleanText(" 5 "), "-6");
  // Not a whole number (empty for Null, words, beyond 32 bits): counts as 0.
  for (const char* s : {"", "True", "1.5", "4294967296"}) EXPECT_EQ(toggledBooleanText(s), "-1") << s;
}

TEST(EditorAids, CalendarStartsOnTheFieldsDayOrToday) {
  const QDate today(2026, 12, 7);
  EXPECT_EQ(calendarStartDate("", today, kUs), today);
  EXPECT_EQ(calendarStartDate("   ", today, kUs), today);
  EXPECT_EQ(calendarStartDate("not a date", today, kUs), today);
  EXPECT_EQ(calendarStartDate("2/30/2001", today, kUs), today);
  EXPECT_EQ(calendarStartDate("5/17/1990 8:30 AM", today, kUs), QDate(1990, 5, 17));
  EXPECT_EQ(calendarStartDate("17.05.1990", today, kDe), QDate(1990, 5, 17));
}

TEST(EditorAids, PickedDayKeepsTheTimeOfDay) {
  const QString withTime = rowText(makeDateTime(QDate(1990, 5, 17), QTime(8, 30)), adDate, kUs);
  const QString picked = pickedDateText(QDate(2001, 2, 3), withTime, kUs);
  EXPECT_EQ(parseDateTime(picked, kUs), makeDateTime(QDate(2001, 2, 3), QTime(8, 30)));
  // An empty field, or one at midnight, takes the date alone.
  EXPECT_EQ(pickedDateText(QDate(2001, 2, 3), "", kUs), rowText(makeDateTime(QDate(2001, 2, 3)), adDate, kUs));
  EXPECT_EQ(pickedDateText(QDate(2001, 2, 3), "junk", kUs), pickedDateText(QDate(2001, 2, 3), "", kUs));
  EXPECT_EQ(pickedDateText(QDate(2001, 2, 3), "1/1/1999", kUs), pickedDateText(QDate(2001, 2, 3), "", kUs));
}

TEST(EditorAids, BooleanRowsReadMinusOneAndZero) {
  EXPECT_EQ(rowText(QVariant(true), adBoolean), "-1");
  EXPECT_EQ(rowText(QVariant(false), adBoolean), "0");
  EXPECT_EQ(rowText(QVariant(), adBoolean), "");
}

TEST(EditorScroll, RangesStepsAndEnabledRules) {
  // After building: enabled with maximum 0 when exactly as large.
  auto same = contentScroll(7000, 7000);
  EXPECT_TRUE(same.enabled);
  EXPECT_EQ(same.maximum, 0);
  EXPECT_EQ(same.largeStep, 0);
  auto tall = contentScroll(10905, 5400);
  EXPECT_TRUE(tall.enabled);
  EXPECT_EQ(tall.maximum, 5505);
  EXPECT_EQ(tall.largeStep, 550);
  EXPECT_EQ(tall.smallStep, 220);
  EXPECT_FALSE(contentScroll(5000, 7000).enabled);
  // After a resize: strictly smaller viewport only; steps untouched.
  EXPECT_FALSE(resizeScroll(7000, 7000).enabled);
  auto r = resizeScroll(10905.4, 5400);
  EXPECT_TRUE(r.enabled);
  EXPECT_EQ(r.maximum, 5505);
  EXPECT_EQ(r.largeStep, 0);
  // 1,000 fields: the real range, far beyond 16 bits.
  auto wide = contentScroll(contentHeight(1000), 5400);
  EXPECT_EQ(wide.maximum, contentHeight(1000) - 5400);
  EXPECT_GT(wide.maximum, 32767);
  EXPECT_EQ(wide.largeStep, wide.maximum / 10);
}

TEST(EditorScroll, ViewportKeepsFiveHundredTwips) {
  EXPECT_EQ(minimumInnerHeight(1000, 400), std::optional<int>(255 + 400 + 500));
  EXPECT_EQ(minimumInnerHeight(1154, 400), std::optional<int>(1155));
  EXPECT_FALSE(minimumInnerHeight(1155, 400).has_value());
}

TEST(FieldAssignment, ReadsTextByTypeInTheLocale) {
  auto t = openPeople();
  assignFieldText(t.rs->Fields("Id"), "42", kDe);
  EXPECT_EQ(t.rs->Fields("Id").Value(), QVariant(qlonglong(42)));
  assignFieldText(t.rs->Fields("Born"), "03.02.2001 10:05", kDe);
  EXPECT_EQ(t.rs->Fields("Born").Value(), QVariant(makeDateTime(QDate(2001, 2, 3), QTime(10, 5))));
  assignFieldText(t.rs->Fields("Member"), "-1", kDe);
  EXPECT_EQ(t.rs->Fields("Member").Value(), QVariant(true));
  assignFieldText(t.rs->Fields("Id"), "", kDe);
  EXPECT_FALSE(t.rs->Fields("Id").Value().isValid());
  try {
    assignFieldText(t.rs->Fields("Id"), "twelve", kDe);
    FAIL() << "text went into a number field";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kDataConversion);
  }
}

class RecordEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    t = openPeople();
    edit.setChangedListener([this](bool v) { saveEnabled = v; });
  }
  FakeTable t;
  RecordEdit edit{kUs};
  viewertest::RecordingPrompts prompts;
  bool saveEnabled = true;
};

TEST_F(RecordEditTest, LoadingIsNotAChange) {
  edit.load(t.rs, viewer::kind::Access);
  ASSERT_EQ(edit.rowCount(), 6);
  EXPECT_EQ(edit.row(2).text, "Ada");
  EXPECT_EQ(edit.row(4).text, "0");
  EXPECT_EQ(edit.row(6).spec.maxLength, 30);
  EXPECT_FALSE(edit.IsChanged());
  EXPECT_FALSE(saveEnabled);
  for (int i = 1; i <= edit.rowCount(); ++i) EXPECT_FALSE(edit.row(i).coloured) << i;
  // Opening and closing at once sends nothing.
  EXPECT_FALSE(edit.SaveRecord());
  EXPECT_TRUE(t.fake->batches.empty());
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(RecordEditTest, EditThenSaveSendsOneBatch) {
  edit.load(t.rs, viewer::kind::Access);
  EXPECT_TRUE(edit.textChanged(2, "Grace"));
  EXPECT_TRUE(edit.textChanged(4, toggledBooleanText(edit.row(4).text)));
  EXPECT_TRUE(edit.IsChanged());
  EXPECT_TRUE(saveEnabled);
  EXPECT_TRUE(edit.row(2).coloured);
  EXPECT_FALSE(edit.row(3).coloured);
  EXPECT_TRUE(edit.SaveRecord());
  ASSERT_EQ(t.fake->batches.size(), 1u);
  EXPECT_EQ(t.fake->batches[0][0].changedFields, (std::vector<int>{1, 3}));
  EXPECT_FALSE(edit.IsChanged());
  EXPECT_FALSE(saveEnabled);
  EXPECT_TRUE(edit.row(2).coloured);  // navy stays
  EXPECT_FALSE(t.rs->hasPendingChanges());
  EXPECT_EQ(t.rs->Fields("Member").Value(), QVariant(true));
}

TEST_F(RecordEditTest, RefusedSaveReReadsTheRecordExceptForDelimitedText) {
  for (int32_t kind : {int32_t(viewer::kind::Paradox), int32_t(viewer::kind::Csv), int32_t(viewer::kind::Text)}) {
    SCOPED_TRACE(kind);
    t = openPeople();
    prompts.shown.clear();
    edit.load(t.rs, kind);
    edit.textChanged(2, "Grace");
    t.fake->refuseNextBatch = true;
    EXPECT_FALSE(edit.SaveRecord());
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].icon, viewer::Prompts::Exclamation);
    EXPECT_TRUE(prompts.shown[0].text.contains(": "));
    EXPECT_TRUE(edit.IsChanged());
    EXPECT_TRUE(saveEnabled);
    EXPECT_EQ(edit.row(2).text, "Grace");
    const bool reread = kind == viewer::kind::Paradox;
    EXPECT_EQ(t.rs->hasPendingChanges(), !reread);
    EXPECT_EQ(t.rs->Fields("Name").Value().toString(), reread ? "Ada" : "Grace");
    // The next save sends the row's text again.
    EXPECT_TRUE(edit.SaveRecord());
    EXPECT_EQ(t.rs->Fields("Name").Value().toString(), "Grace");
  }
}

TEST_F(RecordEditTest, TextTheFieldCannotTakeFailsAtSaveAndStaysPending) {
  edit.load(t.rs, viewer::kind::FoxProTable);
  edit.textChanged(2, "Grace");
  edit.textChanged(1, "twelve");
  EXPECT_FALSE(edit.SaveRecord());
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_TRUE(prompts.shown[0].text.startsWith(QString::number(err::kDataConversion) + ": "));
  EXPECT_TRUE(t.fake->batches.empty());  // nothing sent
  EXPECT_FALSE(t.rs->hasPendingChanges());
  EXPECT_TRUE(edit.IsChanged());
  edit.textChanged(1, "12");
  EXPECT_TRUE(edit.SaveRecord());
  EXPECT_EQ(t.rs->Fields("Id").Value(), QVariant(qlonglong(12)));
  EXPECT_EQ(t.rs->Fields("Name").Value().toString(), "Grace");
}

TEST_F(RecordEditTest, ClosingWithoutSavingKeepsTheEditsPending) {
  edit.load(t.rs, viewer::kind::Access);
  edit.textChanged(2, "Grace");
  edit.textChanged(1, "not a number");
  edit.keepPending();
  edit.release();
  EXPECT_TRUE(t.fake->batches.empty());
  EXPECT_TRUE(t.rs->hasPendingChanges());
  EXPECT_EQ(t.rs->Fields("Name").Value().toString(), "Grace");
  EXPECT_EQ(t.rs->Fields("Id").Value(), QVariant(qlonglong(1)));
  // A later opening shows the pending edit and its save sends it.
  RecordEdit again(kUs);
  again.load(t.rs, viewer::kind::Access);
  EXPECT_EQ(again.row(2).text, "Grace");
  EXPECT_FALSE(again.IsChanged());
  again.textChanged(6, "XY");
  EXPECT_TRUE(again.SaveRecord());
  ASSERT_EQ(t.fake->batches.size(), 1u);
  EXPECT_EQ(t.fake->batches[0][0].changedFields, (std::vector<int>{1, 5}));
}
