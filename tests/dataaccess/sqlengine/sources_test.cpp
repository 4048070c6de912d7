// The statements the viewer's filter and sort write, run through real file
// providers: a CSV read by the text provider and a Paradox table written
// with pxlib. Field names with a slash, a blank or a reserved word, Nulls,
// letter case of non-ASCII text, and the three #...# date forms against
// date, time and date-time columns. Each statement runs once as written
// (answered from the stored columns) and once in a form that only SQLite
// answers, and both must give the rows the source's own driver would.
#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/fileprovider.h"
#include "dataaccess/recordset.h"
#include "dataaccess/values.h"

#include "testsupport/tempdir.h"

#include <QFile>
#include <gtest/gtest.h>
#ifdef LUMBROOK_HAVE_PXLIB
extern "C" {
#include <paradox.h>
}
#endif

using namespace dataaccess;

namespace {

using Ids = std::vector<qlonglong>;

// The ids of the rows a statement gives, and the same for the statement
// with "SELECT *" spelt as "SELECT ALL *" (a shape only SQLite answers).
class Source {
 public:
  explicit Source(const QString& connection) : cn_(std::make_shared<Connection>()) { cn_->Open(connection); }

  Ids ids(const QString& sql) {
    auto rs = open(sql);
    Ids out;
    for (; !rs->IsEOF(); rs->MoveNext()) out.push_back(rs->Fields(0).Value().toLongLong());
    return out;
  }
  std::unique_ptr<Recordset> open(const QString& sql) {
    auto rs = std::make_unique<Recordset>();
    rs->setCursorLocation(adUseClient);
    rs->Open(sql, cn_, adOpenKeyset, adLockBatchOptimistic, adCmdText);
    return rs;
  }
  // Checks both paths and returns the ids.
  Ids both(const QString& sql) {
    const Ids direct = ids(sql);
    QString viaSqlite = sql;
    viaSqlite.replace(QStringLiteral("SELECT * FROM"), QStringLiteral("SELECT ALL * FROM"));
    EXPECT_EQ(ids(viaSqlite), direct) << sql.toStdString();
    return direct;
  }

 private:
  std::shared_ptr<Connection> cn_;
};

TEST(FilterStatementsOnText, CaseNullsNamesAndDates) {
  testsupport::TempDir dir;
  dir.write(QStringLiteral("shop.csv"),
            "id,Name,State/Prov,My Field,Order,Day,Stamp\n"
            "1,\xC3\xA4pfel,ON,x,3,2024-01-02,2024-01-02 10:05:07\n"
            "2,\xC3\x89toile,on,,1,2023-05-06,2023-05-06 00:00:00\n"
            "3,APFEL,QC,y,2,,\n"
            "4,,\xC3\x8Ele,z,,2024-01-02,2024-01-03 23:59:59\n"
            "5,\xC3\xA9toile filante,qc,x,3,2025-12-31,2024-01-02 00:00:00\n");
  Source src(QStringLiteral("Driver={Microsoft Text Driver (*.txt; *.csv)};DriverId=27;FIL=text;Extensions=csv;"
                            "DBQ=%1;DefaultDir=%1;").arg(dir.path()));
  const QString from = QStringLiteral("SELECT * FROM [shop#csv]");
  auto q = [&](const char* rest) { return from + QString::fromUtf8(rest); };

  EXPECT_EQ(src.both(q(" WHERE   [Name]='ÄPFEL'")), Ids{1});
  EXPECT_EQ(src.both(q(" WHERE   [Name] LIKE 'é%'")), (Ids{2, 5}));
  EXPECT_EQ(src.both(q(" WHERE   [Name] LIKE '%TOILE%'")), (Ids{2, 5}));
  EXPECT_EQ(src.both(q(" WHERE   [Name] IS NULL")), Ids{4});
  EXPECT_EQ(src.both(q(" WHERE   [State/Prov]='île'")), Ids{4});
  EXPECT_EQ(src.both(q(" WHERE   [State/Prov]='ON'   AND [My Field] IS NULL")), Ids{2});
  EXPECT_EQ(src.both(q(" WHERE   [Order]=3")), (Ids{1, 5}));
  EXPECT_EQ(src.both(q(" WHERE   [Day]=#1/2/2024#")), (Ids{1, 4}));
  EXPECT_EQ(src.both(q(" WHERE   [Stamp]=#1/2/2024 10:05:07#")), Ids{1});
  EXPECT_EQ(src.both(q(" WHERE   [Stamp]=#1/2/2024#")), Ids{5});
  EXPECT_EQ(src.both(q(" WHERE   [Stamp]=#5/6/2023 00:00:00#")), Ids{2});
  EXPECT_EQ(src.both(q(" WHERE   [Day]=#1/2/2024#   AND [Stamp]=#1/3/2024 23:59:59#")), Ids{4});
  // The sort's shapes, lower-case order by among them; Nulls first.
  EXPECT_EQ(src.both(q(" ORDER BY [State/Prov]")), (Ids{1, 2, 3, 5, 4}));
  EXPECT_EQ(src.both(q(" order by Name DESC,id")), (Ids{5, 2, 1, 3, 4}));
  EXPECT_EQ(src.both(q(" WHERE   [My Field]='X' ORDER BY [Order] DESC,Day")), (Ids{1, 5}));
  // A changed file is read again on the same connection.
  EXPECT_EQ(src.both(q(" WHERE   [Name]='apfel'")), Ids{3});
  dir.write(QStringLiteral("shop.csv"), "id,Name\n7,Apfel\n8,Birne\n9,apfel\n");
  EXPECT_EQ(src.both(q(" WHERE   [Name]='apfel'")), (Ids{7, 9}));
}

TEST(FilterStatementsOnText, MinAndMaxOfDatesAreDates) {
  testsupport::TempDir dir;
  dir.write(QStringLiteral("d.csv"), "id,Day\n1,2024-01-02\n2,2023-05-06\n3,\n");
  Source src(QStringLiteral("Driver={Microsoft Text Driver (*.txt; *.csv)};DriverId=27;FIL=text;Extensions=csv;"
                            "DBQ=%1;DefaultDir=%1;").arg(dir.path()));
  auto rs = src.open(QStringLiteral("SELECT MIN([Day]) AS first, MAX(Day) FROM [d#csv]"));
  EXPECT_EQ(rs->Fields(0).Type(), adDate);
  EXPECT_EQ(rs->Fields(0).Value(), QVariant(makeDateTime(QDate(2023, 5, 6))));
  EXPECT_EQ(rs->Fields(1).Type(), adDate);
  EXPECT_EQ(rs->Fields(1).Value(), QVariant(makeDateTime(QDate(2024, 1, 2))));
}

// A file source of one table that counts how often it reads its file.
class CountingProvider : public FileProvider {
 public:
  explicit CountingProvider(QString file) : file_(std::move(file)) {}
  QString name() const override { return QStringLiteral("counting"); }
  void open(const ConnectionString&, const OpenOptions&) override {}
  int loads = 0;

 protected:
  std::vector<TableEntry> listTables() override {
    TableEntry t;
    t.name = QStringLiteral("t");
    t.type = QStringLiteral("TABLE");
    return {t};
  }
  std::shared_ptr<RowStore> loadTable(const TableEntry&) override {
    ++loads;
    auto rows = std::make_shared<RowStore>(std::vector<FieldInfo>{FieldInfo("a", adVarWChar, 10)});
    for (const char* v : {"x", "X", "y"}) rows->appendRow({QString::fromUtf8(v)});
    return rows;
  }
  QStringList filesOf(const TableEntry&) const override { return {file_}; }
  SqlDialect dialect() const override { return SqlDialect::Text; }

 private:
  QString file_;
};

TEST(FilterStatementsOnText, LaterStatementsOnAnOpenConnectionDoNotReadTheFileAgain) {
  testsupport::TempDir dir;
  const QString file = dir.write(QStringLiteral("t.txt"), "1");
  CountingProvider p(file);
  EXPECT_EQ(p.execute(QStringLiteral("SELECT * FROM t WHERE   a='x'"), adCmdText)->rowCount(), 2);
  EXPECT_EQ(p.execute(QStringLiteral("SELECT * FROM t WHERE   a='x'   AND a LIKE 'X%' ORDER BY a DESC"), adCmdText)->rowCount(), 2);
  EXPECT_EQ(p.execute(QStringLiteral("SELECT a FROM t WHERE a <> 'x'"), adCmdText)->rowCount(), 1);  // via SQLite
  EXPECT_EQ(p.execute(QStringLiteral("SELECT COUNT(*) FROM t"), adCmdText)->rowCount(), 1);
  EXPECT_EQ(p.loads, 1);
  dir.write(QStringLiteral("t.txt"), "22");  // a changed file is read again
  p.execute(QStringLiteral("SELECT * FROM t WHERE   a='y'"), adCmdText);
  EXPECT_EQ(p.loads, 2);
}

#ifdef LUMBROOK_HAVE_PXLIB

// A Paradox table with the field names of the classic samples and a date,
// a time and a timestamp field, written with pxlib.
void makeParadox(const QString& path) {
  struct Spec {
    const char* name;
    char type;
    int length;
  };
  const Spec spec[] = {{"Id", pxfShort, 2},        {"Name", pxfAlpha, 20},  {"State/Prov", pxfAlpha, 10},
                       {"Zip/Postal Code", pxfAlpha, 10}, {"Day", pxfDate, 4}, {"At", pxfTime, 4},
                       {"Stamp", pxfTimestamp, 8}};
  const int n = int(std::size(spec));
  pxdoc_t* doc = PX_new();
  auto* fields = static_cast<pxfield_t*>(doc->malloc(doc, size_t(n) * sizeof(pxfield_t), "fields"));
  for (int i = 0; i < n; ++i) {
    fields[i].px_fname = PX_strdup(doc, spec[i].name);
    fields[i].px_ftype = spec[i].type;
    fields[i].px_flen = spec[i].length;
    fields[i].px_fdc = 0;
  }
  ASSERT_EQ(PX_create_file(doc, fields, n, QFile::encodeName(path).constData(), pxfFileTypNonIndexDB), 0);
  doc->px_head->px_doscodepage = 1252;
  const long day0 = 1721425;
  auto stamp = [&](QDate d, QTime t) { return double(d.toJulianDay() - day0) * 86400000.0 + t.msecsSinceStartOfDay(); };
  struct Row {
    short id;
    const char* name;  // code page 1252; nullptr for Null
    const char* state;
    const char* zip;
    QDate day;
    QTime at;
    QDateTime stamp;
  };
  const Row rows[] = {
      {1, "\xE4pfel", "ON", "K1A 0B1", QDate(2024, 1, 2), QTime(10, 5, 7), makeDateTime(QDate(2024, 1, 2), QTime(10, 5, 7))},
      {2, "\xC9toile", "on", nullptr, QDate(2023, 5, 6), QTime(0, 0), makeDateTime(QDate(2023, 5, 6), QTime(0, 0))},
      {3, "APFEL", nullptr, "H2X", QDate(), QTime(), QDateTime()},
      {4, nullptr, "QC", "H2X", QDate(2024, 1, 2), QTime(23, 59, 59), makeDateTime(QDate(2024, 1, 2), QTime(0, 0, 0, 250))},
  };
  for (const Row& r : rows) {
    QByteArray rec(doc->px_head->px_recordsize, '\0');
    char* p = rec.data();
    PX_put_data_short(doc, p, 2, r.id);
    if (r.name) PX_put_data_alpha(doc, p + 2, 20, const_cast<char*>(r.name));
    if (r.state) PX_put_data_alpha(doc, p + 22, 10, const_cast<char*>(r.state));
    if (r.zip) PX_put_data_alpha(doc, p + 32, 10, const_cast<char*>(r.zip));
    if (r.day.isValid()) PX_put_data_long(doc, p + 42, 4, long(r.day.toJulianDay() - day0));
    if (r.at.isValid()) PX_put_data_long(doc, p + 46, 4, r.at.msecsSinceStartOfDay());
    if (r.stamp.isValid()) PX_put_data_double(doc, p + 50, 8, stamp(r.stamp.date(), r.stamp.time()));
    PX_put_record(doc, p);
  }
  PX_close(doc);
  PX_delete(doc);
}

TEST(FilterStatementsOnParadox, CaseNullsSlashNamesAndDates) {
  testsupport::TempDir dir;
  makeParadox(dir.file(QStringLiteral("Places.db")));
  Source src(QStringLiteral("Provider=MSDASQL.1;Driver={Microsoft Paradox Driver (*.db )};Extended Properties=\""
                            "DefaultDir=%1;DriverId=538;FIL=Paradox 5.X;\";").arg(dir.path()));
  auto q = [&](const char* rest) { return QStringLiteral("SELECT * FROM Places") + QString::fromUtf8(rest); };

  EXPECT_EQ(src.both(q(" WHERE   [Name]='ÄPFEL'")), Ids{1});
  EXPECT_EQ(src.both(q(" WHERE   Name='apfel'")), Ids{3});
  EXPECT_EQ(src.both(q(" WHERE   [Name] LIKE 'é%'")), Ids{2});
  EXPECT_EQ(src.both(q(" WHERE   [Name] IS NULL")), Ids{4});
  EXPECT_EQ(src.both(q(" WHERE   [State/Prov]='on'")), (Ids{1, 2}));
  EXPECT_EQ(src.both(q(" WHERE   [Zip/Postal Code]='h2x'   AND [State/Prov] IS NULL")), Ids{3});
  EXPECT_EQ(src.both(q(" WHERE   \"Zip/Postal Code\" LIKE 'K1A%'")), Ids{1});
  EXPECT_EQ(src.both(q(" WHERE   [Day]=#1/2/2024#")), (Ids{1, 4}));
  EXPECT_EQ(src.both(q(" WHERE   [At]=#10:05:07#")), Ids{1});
  EXPECT_EQ(src.both(q(" WHERE   [At]=#00:00:00#")), Ids{2});
  EXPECT_EQ(src.both(q(" WHERE   [Stamp]=#1/2/2024 10:05:07#")), Ids{1});
  EXPECT_EQ(src.both(q(" WHERE   [Stamp]=#1/2/2024#")), Ids{4});
  EXPECT_EQ(src.both(q(" WHERE   [Stamp]=#5/6/2023#")), Ids{2});
  EXPECT_EQ(src.both(q(" ORDER BY [State/Prov] DESC,Id")), (Ids{4, 1, 2, 3}));
  EXPECT_EQ(src.both(q(" order by [Zip/Postal Code],At DESC")), (Ids{2, 4, 3, 1}));

  auto rs = src.open(QStringLiteral("SELECT MAX([Day]) AS d, MIN(At), MAX(Stamp) FROM Places"));
  EXPECT_EQ(rs->Fields(0).Type(), adDBDate);
  EXPECT_EQ(rs->Fields(0).Value(), QVariant(QDate(2024, 1, 2)));
  EXPECT_EQ(rs->Fields(1).Type(), adDBTime);
  EXPECT_EQ(rs->Fields(1).Value(), QVariant(QTime(0, 0)));
  EXPECT_EQ(rs->Fields(2).Type(), adDBTimeStamp);
  EXPECT_EQ(rs->Fields(2).Value(), QVariant(makeDateTime(QDate(2024, 1, 2), QTime(10, 5, 7))));
}

#endif

}  // namespace
