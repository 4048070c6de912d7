// The record editor window under the offscreen platform: rows per field,
// the three aids, change colour and the Save button, the closing question,
// the scroll bars and the 1,000-field table.
#include "controls/twips.h"
#include "dataaccess/recordset.h"
#include "dataaccess/values.h"
#include "datasource/sourcestate.h"
#include "editor/f_edit.h"
#include "testsupport/fakeprovider.h"
#include "window_scriptedprompts.h"

#include <QAction>
#include <QCalendarWidget>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSizeGrip>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>
#include <gtest/gtest.h>

using namespace viewer;
using namespace dataaccess;

namespace {

struct Source {
  testsupport::FakeProvider* fake = nullptr;
  std::shared_ptr<Recordset> rs;
};

Source openTable(std::vector<FieldInfo> fields, std::vector<QVariant> values) {
  Source s;
  auto cn = testsupport::fakeConnection(&s.fake);
  s.fake->addTable("T", std::move(fields))->appendRow(values);
  s.rs = std::make_shared<Recordset>();
  s.rs->Open(QStringLiteral("SELECT * FROM T"), cn, adOpenKeyset, adLockBatchOptimistic, adCmdText);
  return s;
}

Source openPeople() {
  return openTable({{"Id", adInteger}, {"Name", adVarWChar, 30}, {"Born", adDate}, {"Member", adBoolean},
                    {"Notes", adLongVarWChar, 0}, {"Code", adVarWChar, 31}},
                   {QVariant(qlonglong(1)), QVariant(QStringLiteral("Ada")),
                    QVariant(makeDateTime(QDate(1990, 5, 17), QTime(8, 30))), QVariant(false),
                    QVariant(QStringLiteral("first line")), QVariant()});
}

int twips(int pixels) { return int(controls::pixelsToTwips(pixels)); }

class EditorWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    owner = new QWidget;
    owner->setGeometry(100, 100, 900, 700);
    owner->show();
    editor = new f_Edit(owner);
  }
  void TearDown() override { delete owner; }

  void open(const Source& s, int32_t kind = kind::Paradox) {
    editor->load(s.rs, kind);
    editor->show();
  }
  QAction* action(const char* key) const {
    for (QAction* a : editor->Toolbar1->actions())
      if (a->objectName() == QLatin1String(key)) return a;
    return nullptr;
  }

  testsupport::ScriptedPrompts prompts;
  QWidget* owner = nullptr;
  f_Edit* editor = nullptr;
};

}  // namespace

TEST_F(EditorWindowTest, WindowToolbarAndRows) {
  auto s = openPeople();
  open(s);
  EXPECT_EQ(editor->windowTitle(), "Edit record");
  EXPECT_TRUE(editor->isModal());
  EXPECT_EQ(editor->parentWidget(), owner);
  EXPECT_EQ(editor->size(), QSize(530, 425));
  EXPECT_LE((editor->frameGeometry().center() - owner->frameGeometry().center()).manhattanLength(), 4);
  ASSERT_NE(action("Save"), nullptr);
  ASSERT_NE(action("Exit"), nullptr);
  EXPECT_EQ(action("Save")->toolTip(), "Save changes");
  EXPECT_EQ(action("Exit")->toolTip(), "Close");
  EXPECT_FALSE(action("Save")->icon().isNull());
  EXPECT_FALSE(action("Exit")->icon().isNull());
  EXPECT_FALSE(action("Save")->isEnabled());

  ASSERT_EQ(editor->rowCount(), 6);
  EXPECT_EQ(editor->lblField(1)->text(), "Id:");
  EXPECT_EQ(editor->txtField(2)->text(), "Ada");
  EXPECT_EQ(editor->txtField(2)->maxLength(), 30);
  EXPECT_EQ(editor->cmdField(2), nullptr);  // 30 characters: no aid
  EXPECT_EQ(editor->txtField(6)->maxLength(), 31);
  EXPECT_EQ(editor->cmdField(6)->property("tag").toString(), "TEXT");
  EXPECT_EQ(editor->cmdField(5)->property("tag").toString(), "TEXT");
  EXPECT_EQ(editor->cmdField(3)->property("tag").toString(), "DATE");
  EXPECT_EQ(editor->cmdField(4)->property("tag").toString(), "BOOLEAN");
  EXPECT_EQ(editor->cmdField(1), nullptr);
  EXPECT_EQ(editor->txtField(4)->text(), "0");
  // Row geometry: label at 100, text box at 3410, button at 6530 twips.
  EXPECT_EQ(editor->txtField(2)->geometry(), QRect(227, 32, 208, 19));
  EXPECT_EQ(editor->cmdField(3)->x(), 435);
  EXPECT_EQ(editor->cmdField(3)->focusPolicy(), Qt::NoFocus);
  for (int i = 1; i <= 6; ++i)
    EXPECT_NE(editor->txtField(i)->palette().color(QPalette::Text), f_Edit::changedColour()) << i;
  EXPECT_FALSE(editor->IsChanged());
  // Nothing changed: closing asks nothing.
  editor->toolbarButtonClick("Exit");
  EXPECT_TRUE(prompts.messages.empty());
  EXPECT_FALSE(editor->isVisible());
  EXPECT_FALSE(s.rs->hasPendingChanges());
}

TEST_F(EditorWindowTest, ToggleColoursAndEnablesSave) {
  auto s = openPeople();
  open(s);
  editor->fieldButtonClick(4);
  EXPECT_EQ(editor->txtField(4)->text(), "-1");
  EXPECT_EQ(editor->txtField(4)->palette().color(QPalette::Text), f_Edit::changedColour());
  EXPECT_TRUE(editor->IsChanged());
  EXPECT_TRUE(action("Save")->isEnabled());
  editor->fieldButtonClick(4);
  EXPECT_EQ(editor->txtField(4)->text(), "0");
  editor->fieldButtonClick(4);
  // Keys are compared case-sensitively.
  editor->toolbarButtonClick("save");
  EXPECT_TRUE(s.fake->batches.empty());
  editor->toolbarButtonClick("Save");
  EXPECT_EQ(s.fake->batches.size(), 1u);
  EXPECT_FALSE(action("Save")->isEnabled());
  EXPECT_EQ(editor->txtField(4)->palette().color(QPalette::Text), f_Edit::changedColour());
}

TEST_F(EditorWindowTest, LongTextPanelOpensClosesAndSwitchesRows) {
  auto s = openPeople();
  open(s);
  editor->fieldButtonClick(5);
  ASSERT_TRUE(editor->picFloat->isVisible());
  EXPECT_EQ(editor->floatTag, "5");
  EXPECT_EQ(editor->TXT->toPlainText(), "first line");
  EXPECT_EQ(editor->picFloat->parentWidget(), editor->Picture2);
  // Below the row, as wide as text box and button, 2100 twips high.
  EXPECT_EQ(editor->picFloat->geometry(), QRect(227, (100 + 4 * 385 + 285) / 15, 233, 140));
  // Buttons in the bottom-right corner, text area above them.
  EXPECT_EQ(editor->cmdCloseFloat->geometry().bottomRight(), editor->picFloat->rect().bottomRight());
  EXPECT_EQ(editor->cmdSaveFloat->geometry().right() + 1, editor->cmdCloseFloat->x());
  EXPECT_EQ(editor->TXT->height(), 140 - 22);
  editor->picFloat->resize(300, 200);
  EXPECT_EQ(editor->cmdCloseFloat->geometry().bottomRight(), QPoint(299, 199));
  EXPECT_EQ(editor->TXT->width(), 300);

  // Another row's button while open only closes; the next click opens it there.
  editor->fieldButtonClick(6);
  EXPECT_FALSE(editor->picFloat->isVisible());
  editor->fieldButtonClick(6);
  EXPECT_TRUE(editor->picFloat->isVisible());
  EXPECT_EQ(editor->floatTag, "6");
  EXPECT_EQ(editor->TXT->toPlainText(), "");
  // The panel takes the row's limit.
  editor->TXT->setPlainText(QString(40, QLatin1Char('x')));
  EXPECT_EQ(editor->TXT->toPlainText().size(), 31);
  editor->TXT->setPlainText("short");
  EXPECT_FALSE(editor->IsChanged());
  editor->saveFloatClick();
  EXPECT_EQ(editor->txtField(6)->text(), "short");
  EXPECT_TRUE(editor->picFloat->isVisible());
  EXPECT_TRUE(editor->IsChanged());
  // Several lines go into the row and on to the record unchanged.
  editor->fieldButtonClick(5);
  editor->fieldButtonClick(5);
  editor->TXT->setPlainText("line one\nline two");
  editor->saveFloatClick();
  EXPECT_EQ(editor->txtField(5)->text(), "line one\nline two");
  editor->toolbarButtonClick("Save");
  EXPECT_EQ(s.rs->Fields("Notes").Value().toString(), "line one\nline two");
  editor->TXT->setPlainText("not copied");
  editor->closeFloatClick();
  EXPECT_FALSE(editor->picFloat->isVisible());
  EXPECT_EQ(editor->txtField(5)->text(), "line one\nline two");
}

TEST_F(EditorWindowTest, CalendarKeepsTheTimeOfDay) {
  auto s = openPeople();
  open(s);
  EXPECT_EQ(editor->DateSelect->minimumDate(), QDate(1753, 1, 1));
  EXPECT_EQ(editor->DateSelect->maximumDate(), QDate(9999, 12, 31));
  editor->fieldButtonClick(3);
  ASSERT_TRUE(editor->DateSelect->isVisible());
  EXPECT_EQ(editor->DateSelect->selectedDate(), QDate(1990, 5, 17));
  EXPECT_EQ(editor->DateSelect->geometry().right(), editor->cmdField(3)->geometry().right());
  editor->DateSelect->setSelectedDate(QDate(2001, 2, 3));
  editor->dateClick();
  EXPECT_FALSE(editor->DateSelect->isVisible());
  EXPECT_EQ(parseDateTime(editor->txtField(3)->text()), makeDateTime(QDate(2001, 2, 3), QTime(8, 30)));
  EXPECT_TRUE(editor->IsChanged());
  // A text that is not a date opens on today.
  editor->txtField(3)->setText("soon");
  editor->fieldButtonClick(3);
  EXPECT_EQ(editor->DateSelect->selectedDate(), QDate::currentDate());
  editor->fieldButtonClick(3);
  EXPECT_FALSE(editor->DateSelect->isVisible());
}

TEST_F(EditorWindowTest, ClosingAsksAndNoKeepsThePendingEdit) {
  auto s = openPeople();
  open(s);
  editor->txtField(2)->setText("Grace");
  prompts.answers = {viewer::Prompts::No};
  editor->close();
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, "Save changes?");
  EXPECT_EQ(prompts.messages[0].icon, viewer::Prompts::Question);
  EXPECT_EQ(prompts.messages[0].buttons, viewer::Prompts::YesNo);
  EXPECT_FALSE(editor->isVisible());
  EXPECT_TRUE(s.fake->batches.empty());
  EXPECT_TRUE(s.rs->hasPendingChanges());
  EXPECT_EQ(s.rs->Fields("Name").Value().toString(), "Grace");
}

TEST_F(EditorWindowTest, RefusedSaveOnYesStillCloses) {
  auto s = openPeople();
  open(s, kind::Access);
  editor->txtField(2)->setText("Grace");
  s.fake->refuseNextBatch = true;
  prompts.answers = {viewer::Prompts::Yes, viewer::Prompts::Ok};
  editor->toolbarButtonClick("Exit");
  ASSERT_EQ(prompts.messages.size(), 2u);
  EXPECT_EQ(prompts.messages[1].icon, viewer::Prompts::Exclamation);
  EXPECT_FALSE(editor->isVisible());
  EXPECT_FALSE(s.rs->hasPendingChanges());  // re-read from the source
}

TEST_F(EditorWindowTest, ScrollRangesStepsAndMinimumHeight) {
  auto s = openPeople();
  open(s);
  // Six rows fit: after building, the bars follow the content rule.
  const int contentH = editor::contentHeight(6);
  EXPECT_EQ(editor->Picture2->size(), QSize(qRound(7630 / 15.0), qRound(contentH / 15.0)));
  EXPECT_EQ(editor->VScroll1->isEnabled(), twips(editor->Picture1->height()) <= contentH);
  EXPECT_EQ(editor->HScroll1->isEnabled(), false);
  EXPECT_EQ(editor->HScroll1->height(), 17);
  EXPECT_EQ(editor->VScroll1->width(), 17);
  EXPECT_EQ(editor->pixgrabber->pos(), QPoint(editor->VScroll1->x(), editor->HScroll1->y()));
  EXPECT_TRUE(editor->pixgrabber->isEnabled());

  // A narrow window: the horizontal bar scrolls the panel.
  editor->resize(300, 300);
  ASSERT_TRUE(editor->HScroll1->isEnabled());
  EXPECT_EQ(editor->HScroll1->maximum(), 7630 - twips(editor->Picture1->width()));
  editor->HScroll1->setValue(600);
  EXPECT_EQ(editor->Picture2->x(), -40);

  // Shrinking below a 500-twip viewport brings the height back.
  const int toolbar = editor->Picture1->y();
  editor->resize(300, 20);
  EXPECT_EQ(editor->height(), (255 + 500) / 15 + toolbar);
  EXPECT_GE(twips(editor->Picture1->height()), 500 - 15);
}

TEST_F(EditorWindowTest, AThousandFieldsAreAllReachable) {
  std::vector<FieldInfo> fields;
  std::vector<QVariant> values;
  for (int i = 0; i < 1000; ++i) {
    fields.push_back({QStringLiteral("F%1").arg(i), adInteger});
    values.push_back(QVariant(qlonglong(i)));
  }
  auto s = openTable(fields, values);
  open(s);
  ASSERT_EQ(editor->rowCount(), 1000);
  const int content = editor::contentHeight(1000);
  const int maximum = content - twips(editor->Picture1->height());
  EXPECT_GT(maximum, 32767);
  EXPECT_EQ(editor->VScroll1->maximum(), maximum);
  EXPECT_EQ(editor->VScroll1->pageStep(), maximum / 10);
  EXPECT_EQ(editor->VScroll1->singleStep(), maximum / 25);
  // The range reaches past the last row, which scrolls into the viewport.
  EXPECT_GE(maximum, editor::rowTop(1000) + editor::kRowHeight - twips(editor->Picture1->height()));
  editor->VScroll1->setValue(editor::rowTop(1000) - 100);
  QLineEdit* last = editor->txtField(1000);
  const QPoint inViewport = last->mapTo(editor->Picture1, QPoint(0, 0));
  EXPECT_GE(inViewport.y(), 0);
  EXPECT_LE(inViewport.y() + last->height(), editor->Picture1->height());
  EXPECT_EQ(last->text(), "999");
  last->setText("5");
  editor->toolbarButtonClick("Save");
  EXPECT_EQ(s.rs->Fields(999).Value(), QVariant(qlonglong(5)));
}
