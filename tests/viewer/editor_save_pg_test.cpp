// Saving through the record editor's logic on a data link to PostgreSQL
// (the tests' own server): the edits are read back through a new link and
// by psql.
#include "../dataaccess/odbc/odbctestenv.h"
#include "dataaccess/recordset.h"
#include "testgrid.h"
#include "viewer/editor/editorrules.h"
#include "viewer/editor/recordedit.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

using namespace viewer;
using namespace viewer::editor;
using namespace viewertest;

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);

QString psql(const QString& sql) {
  const auto& pg = odbctest::pgServer();
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("PGPASSWORD", pg.password);
  p.setProcessEnvironment(env);
  p.start("psql", {"-h", "127.0.0.1", "-p", QString::number(pg.port), "-U", pg.user, "-d", "postgres", "-At", "-c", sql});
  if (!p.waitForFinished(30000) || p.exitCode() != 0) return QStringLiteral("psql failed: ") + p.readAllStandardError();
  return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

}  // namespace

TEST(PostgresEdit, EditSaveAndReadBack) {
  REQUIRE_PG_SERVER();
  auto cn = odbctest::open(odbctest::pgOdbcString());
  odbctest::run(*cn, QStringLiteral(
      "DROP TABLE IF EXISTS editor_people; "
      "CREATE TABLE editor_people(id integer PRIMARY KEY, name varchar(40), born timestamp, member boolean, "
      "notes text); "
      "INSERT INTO editor_people VALUES (1, 'Ada', '1990-05-17 08:30:00', false, 'first'), "
      "(2, 'Bob', NULL, true, NULL)"));
  const QString udl = odbctest::writeUdl("editor.udl", odbctest::pgOdbcString());
  RecordingPrompts prompts;
  QString ext;
  auto rs = openTable(udl, "editor_people", ext);
  ASSERT_TRUE(rs) << (prompts.shown.empty() ? "" : prompts.shown[0].text.toStdString());
  rs->MoveFirst();
  RecordEdit edit(kUs);
  edit.load(rs, state().SourceKind);
  ASSERT_EQ(edit.rowCount(), 5);
  EXPECT_EQ(edit.row(2).spec.maxLength, 40);
  EXPECT_EQ(edit.row(5).spec.aid, "TEXT");
  edit.textChanged(2, "Grace");
  edit.textChanged(3, pickedDateText(QDate(2001, 2, 3), edit.row(3).text, kUs));
  edit.textChanged(4, toggledBooleanText(edit.row(4).text));
  edit.textChanged(5, "line one\nline two");
  ASSERT_TRUE(edit.SaveRecord()) << (prompts.shown.empty() ? "" : prompts.shown[0].text.toStdString());

  EXPECT_EQ(psql("SELECT name, born, member, notes FROM editor_people WHERE id = 1"),
            "Grace|2001-02-03 08:30:00|t|line one\nline two");
  EXPECT_EQ(psql("SELECT name FROM editor_people WHERE id = 2"), "Bob");

  // Too long for varchar(40): refused, nothing written.
  edit.textChanged(2, QString(41, QLatin1Char('x')));
  EXPECT_FALSE(edit.SaveRecord());
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_TRUE(prompts.shown[0].text.contains(": "));
  EXPECT_TRUE(edit.IsChanged());
  EXPECT_EQ(psql("SELECT name FROM editor_people WHERE id = 1"), "Grace");
}
