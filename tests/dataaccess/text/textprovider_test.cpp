// The text provider through dataaccess::Connection and Recordset, with the
// connection strings the viewer builds, over small files in a temporary
// folder.
#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/recordset.h"
#include "dataaccess/values.h"
#include "dataaccess/providers/text/schemaini.h"
#include "testsupport/tempdir.h"

#include <QFile>
#include <QStringEncoder>
#include <gtest/gtest.h>

using namespace dataaccess;

namespace {

QString csvConnection(const QString& dir) {
  return QStringLiteral(
             "Driver={Microsoft Text Driver (*.txt; *.csv)};DriverId=27;FIL=text;MaxBufferSize=2048;PageTimeout=5;"
             "Extensions=csv;DBQ=%1;DefaultDir=%1;")
      .arg(dir);
}

QString txtConnection(const QString& dir) {
  return QStringLiteral(
             "Driver={Microsoft Text Driver (*.txt; *.csv)};DriverId=27;FIL=text;MaxBufferSize=2048;PageTimeout=5;"
             "Extensions=log,txt;DBQ=%1;DefaultDir=%1;")
      .arg(dir);
}

std::shared_ptr<Connection> connect(const QString& cs) {
  auto cn = std::make_shared<Connection>();
  cn->Open(cs);
  return cn;
}

std::unique_ptr<Recordset> openTable(const std::shared_ptr<Connection>& cn, const QString& table) {
  auto rs = std::make_unique<Recordset>();
  rs->setCursorLocation(adUseClient);
  rs->Open(QStringLiteral("SELECT * FROM [%1]").arg(table), cn, adOpenKeyset, adLockBatchOptimistic, adCmdText);
  return rs;
}

std::unique_ptr<Recordset> openCsv(const testsupport::TempDir& dir, const QString& table) {
  return openTable(connect(csvConnection(dir.path())), table);
}

QString errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.message();
  }
  return QStringLiteral("<no error>");
}

QStringList tableNames(Connection& cn) {
  auto rs = cn.OpenSchema(adSchemaTables);
  QStringList names;
  for (int64_t r = 0; r < rs->RecordCount(); ++r) {
    names << rs->valueAt(r, rs->Fields(QStringLiteral("TABLE_NAME")).index()).toString();
    EXPECT_EQ(rs->valueAt(r, rs->Fields(QStringLiteral("TABLE_TYPE")).index()).toString(), QStringLiteral("TABLE"));
    EXPECT_TRUE(rs->valueAt(r, rs->Fields(QStringLiteral("DATE_MODIFIED")).index()).isValid());
  }
  return names;
}

QDateTime dt(int y, int m, int d, int h = 0, int n = 0, int s = 0) { return makeDateTime(QDate(y, m, d), QTime(h, n, s)); }

}  // namespace

TEST(TextProvider, OpensAFolderAndDescribesItself) {
  testsupport::TempDir dir;
  auto cn = connect(csvConnection(dir.path()));
  EXPECT_EQ(cn->providerName(), QStringLiteral("text"));
  EXPECT_EQ(cn->Properties(QStringLiteral("Provider Friendly Name")).toString(), QStringLiteral("Lumbrook Text Driver"));
  EXPECT_EQ(cn->Properties(QStringLiteral("DBMS Name")).toString(), QStringLiteral("TEXT"));
  EXPECT_EQ(cn->Properties(QStringLiteral("User Name")).toString(), QStringLiteral("Admin"));
  EXPECT_EQ(cn->Properties(QStringLiteral("Data Source")).toString(), dir.path());

  const QString missing = dir.file(QStringLiteral("nowhere"));
  EXPECT_TRUE(errorOf([&] { connect(csvConnection(missing)); }).contains(missing));
  const QString file = dir.write(QStringLiteral("plain.csv"), "a\n1\n");
  EXPECT_TRUE(errorOf([&] { connect(csvConnection(file)); }).contains(QStringLiteral("not a folder")));
}

TEST(TextProvider, ListsFilesOfTheNamedExtensions) {
  testsupport::TempDir dir;
  dir.write(QStringLiteral("a.csv"), "x\n1\n");
  dir.write(QStringLiteral("Upper.CSV"), "x\n2\n");
  dir.write(QStringLiteral("my data.v2.csv"), "x\n3\n");
  dir.write(QStringLiteral(".hidden.csv"), "x\n");
  dir.write(QStringLiteral("notes.txt"), "x\n");
  dir.write(QStringLiteral("b.csv.bak"), "x\n");
  dir.write(QStringLiteral("sub.csv/inner.csv"), "x\n");
  auto cn = connect(csvConnection(dir.path()));
  EXPECT_EQ(tableNames(*cn), (QStringList{"a#csv", "my data.v2#csv", "Upper#CSV"}));

  // Listed afresh: a file that appears after connecting is a table.
  dir.write(QStringLiteral("later.csv"), "x\n4\n");
  EXPECT_TRUE(tableNames(*cn).contains(QStringLiteral("later#csv")));
  // Lookup ignores letter case.
  EXPECT_EQ(openTable(cn, QStringLiteral("UPPER#csv"))->valueAt(0, 0).toLongLong(), 2);
  EXPECT_EQ(openTable(cn, QStringLiteral("my data.v2#csv"))->valueAt(0, 0).toLongLong(), 3);

  auto txt = connect(txtConnection(dir.path()));
  EXPECT_EQ(tableNames(*txt), (QStringList{"notes#txt"}));

  const QString missing = errorOf([&] { openTable(cn, QStringLiteral("nope#csv")); });
  EXPECT_TRUE(missing.startsWith(QString::number(err::kTableNotFound))) << missing.toStdString();
  EXPECT_TRUE(missing.contains(QStringLiteral("nope#csv")));
}

TEST(TextProvider, GuessesColumnTypes) {
  testsupport::TempDir dir;
  const QByteArray longText(300, 'w');
  dir.write(QStringLiteral("t.csv"),
            "id,name,price,day,stamp,big,empty,mixed,long\n"
            "1, Ann ,1.5,2005-01-02,2005-01-02 10:05:07,4294967296,,1,short\n"
            " 2 ,\"Bob, Jr.\",-2,1/31/2006,2005-01-02T23:59:59,1e3,,x,\"" + longText + "\"\n"
            "3,,,,,,,2005-01-02,\n"
            "4,  ,  ,  ,,,  ,,\n");
  auto rs = openCsv(dir, QStringLiteral("t#csv"));
  ASSERT_EQ(rs->FieldCount(), 9);
  const DataTypeEnum types[] = {adInteger, adVarWChar, adDouble, adDate, adDate, adDouble, adVarWChar, adVarWChar, adLongVarWChar};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(rs->Fields(i).Type(), types[i]) << i;
  EXPECT_EQ(rs->Fields(1).DefinedSize(), 255);
  EXPECT_EQ(rs->Fields(6).DefinedSize(), 255);
  EXPECT_EQ(rs->Fields(8).DefinedSize(), 536870910);
  EXPECT_EQ(rs->RecordCount(), 4);
  // Blank cells leave numbers and dates alone and read as Null there;
  // a text column keeps them.
  EXPECT_FALSE(rs->valueAt(3, 2).isValid());
  EXPECT_FALSE(rs->valueAt(3, 3).isValid());
  EXPECT_EQ(rs->valueAt(3, 1), QVariant(QStringLiteral("  ")));
  EXPECT_EQ(rs->valueAt(3, 6), QVariant(QStringLiteral("  ")));

  EXPECT_EQ(rs->valueAt(1, 0), QVariant(qlonglong(2)));
  EXPECT_EQ(rs->valueAt(0, 1), QVariant(QStringLiteral(" Ann ")));  // text keeps its blanks
  EXPECT_EQ(rs->valueAt(1, 1), QVariant(QStringLiteral("Bob, Jr.")));
  EXPECT_FALSE(rs->valueAt(2, 1).isValid());  // an empty field is Null
  EXPECT_EQ(rs->valueAt(1, 2), QVariant(-2.0));
  EXPECT_EQ(rs->valueAt(1, 3).toDateTime(), dt(2006, 1, 31));
  EXPECT_EQ(rs->valueAt(0, 4).toDateTime(), dt(2005, 1, 2, 10, 5, 7));
  EXPECT_EQ(rs->valueAt(0, 4).toDateTime().timeSpec(), Qt::UTC);
  EXPECT_EQ(rs->valueAt(0, 5), QVariant(4294967296.0));
  EXPECT_EQ(rs->valueAt(2, 7), QVariant(QStringLiteral("2005-01-02")));
  EXPECT_EQ(rs->valueAt(1, 8).toString().size(), 300);
}

TEST(TextProvider, NamesAndRaggedRows) {
  testsupport::TempDir dir;
  // Blank and repeated header cells become F<n>; a longer row adds columns.
  dir.write(QStringLiteral("r.csv"), "\xEF\xBB\xBFname,, Name ,x\r\na\r\nb,2,3,4,5,6\r\n");
  auto rs = openCsv(dir, QStringLiteral("r#csv"));
  ASSERT_EQ(rs->FieldCount(), 6);
  QStringList names;
  for (int i = 0; i < 6; ++i) names << rs->Fields(i).Name();
  EXPECT_EQ(names, (QStringList{"name", "F2", "F3", "x", "F5", "F6"}));
  EXPECT_EQ(rs->valueAt(0, 0), QVariant(QStringLiteral("a")));
  for (int i = 1; i < 6; ++i) EXPECT_FALSE(rs->valueAt(0, i).isValid()) << i;
  EXPECT_EQ(rs->valueAt(1, 5), QVariant(qlonglong(6)));

  // An empty file is one text column without rows; a header alone gives
  // its columns and no rows.
  dir.write(QStringLiteral("empty.csv"), "");
  auto empty = openCsv(dir, QStringLiteral("empty#csv"));
  EXPECT_EQ(empty->FieldCount(), 1);
  EXPECT_EQ(empty->Fields(0).Name(), QStringLiteral("F1"));
  EXPECT_EQ(empty->RecordCount(), 0);
  dir.write(QStringLiteral("header.csv"), "a,b\n");
  auto header = openCsv(dir, QStringLiteral("header#csv"));
  EXPECT_EQ(header->FieldCount(), 2);
  EXPECT_EQ(header->RecordCount(), 0);
}

TEST(TextProvider, SchemaIniSectionsDecideTheLayout) {
  testsupport::TempDir dir;
  dir.write(QStringLiteral("SCHEMA.INI"),
            "[shop.txt]\r\nColNameHeader=False\r\nFormat=TabDelimited\r\nCharacterSet=ANSI\r\nMaxScanRows=0\r\n"
            "[Semi.TXT]\r\ncolnameheader=true\r\nformat=Delimited(;)\r\nMaxScanRows=2\r\n"
            "Col1=Code Long\r\nCol2=\"Amount Due\" Currency\r\nCol3=Done Bit\r\nCol4=Small Byte\r\n");
  dir.write(QStringLiteral("shop.txt"), "first line\t1\nsecond, with comma\t2\n");
  dir.write(QStringLiteral("semi.txt"), "a;b;c;d;e\n1;2.123456;yes;7;1\n2;x;0;300;2\nz;3;True;8;oops\n");
  auto cn = connect(txtConnection(dir.path()));

  auto shop = openTable(cn, QStringLiteral("shop#txt"));
  ASSERT_EQ(shop->RecordCount(), 2);  // the first line is data
  EXPECT_EQ(shop->Fields(0).Name(), QStringLiteral("F1"));
  EXPECT_EQ(shop->valueAt(1, 0), QVariant(QStringLiteral("second, with comma")));
  EXPECT_EQ(shop->valueAt(1, 1), QVariant(qlonglong(2)));

  auto semi = openTable(cn, QStringLiteral("semi#txt"));
  ASSERT_EQ(semi->FieldCount(), 5);
  EXPECT_EQ(semi->Fields(0).Name(), QStringLiteral("Code"));
  EXPECT_EQ(semi->Fields(1).Name(), QStringLiteral("Amount Due"));
  EXPECT_EQ(semi->Fields(1).Type(), adCurrency);
  EXPECT_EQ(semi->Fields(2).Type(), adBoolean);
  EXPECT_EQ(semi->Fields(3).Type(), adUnsignedTinyInt);
  EXPECT_EQ(semi->Fields(4).Name(), QStringLiteral("e"));
  EXPECT_EQ(semi->Fields(4).Type(), adInteger);  // guessed from two rows only
  EXPECT_DOUBLE_EQ(semi->valueAt(0, 1).toDouble(), 2.1235);
  EXPECT_EQ(semi->valueAt(0, 2), QVariant(true));
  EXPECT_EQ(semi->valueAt(1, 2), QVariant(false));
  // Values that do not convert to a defined or guessed type are Null.
  EXPECT_FALSE(semi->valueAt(1, 1).isValid());
  EXPECT_FALSE(semi->valueAt(1, 3).isValid());  // 300 is no Byte
  EXPECT_FALSE(semi->valueAt(2, 0).isValid());
  EXPECT_FALSE(semi->valueAt(2, 4).isValid());  // past MaxScanRows

  // The section is read again when SCHEMA.INI changes.
  dir.write(QStringLiteral("SCHEMA.INI"), "[shop.txt]\nColNameHeader=True\nFormat=TabDelimited\n");
  auto again = openTable(cn, QStringLiteral("shop#txt"));
  EXPECT_EQ(again->RecordCount(), 1);
  EXPECT_EQ(again->Fields(0).Name(), QStringLiteral("first line"));
}

TEST(TextProvider, CharacterSets) {
  testsupport::TempDir dir;
  const QString russian = QStringLiteral("Привет, мир");
  QStringEncoder cp1251("windows-1251");
  dir.write(QStringLiteral("ru.csv"), "word\n\"" + QByteArray(cp1251(russian)) + "\"\n");
  QStringEncoder utf16(QStringEncoder::Utf16LE);
  dir.write(QStringLiteral("wide.csv"), QByteArray(utf16(QStringLiteral("word\r\nПривет мир\r\n"))));
  dir.write(QStringLiteral("bom16.csv"), "\xFF\xFE" + QByteArray(utf16(QStringLiteral("w\nä\n"))));
  dir.write(QStringLiteral("oem.csv"), "w\n\x80\x9a\n");  // Ç Ü in IBM437
  dir.write(QStringLiteral("SCHEMA.INI"),
            "[ru.csv]\nCharacterSet=1251\n[wide.csv]\nCharacterSet=UNICODE\nFormat=TabDelimited\n"
            "[oem.csv]\nCharacterSet=OEM\n");
  auto cn = connect(csvConnection(dir.path()));
  EXPECT_EQ(openTable(cn, QStringLiteral("ru#csv"))->valueAt(0, 0).toString(), russian);
  auto wide = openTable(cn, QStringLiteral("wide#csv"));
  EXPECT_EQ(wide->Fields(0).Name(), QStringLiteral("word"));
  EXPECT_EQ(wide->valueAt(0, 0).toString(), QStringLiteral("Привет мир"));
  EXPECT_EQ(openTable(cn, QStringLiteral("bom16#csv"))->valueAt(0, 0).toString(), QStringLiteral("ä"));
  EXPECT_EQ(openTable(cn, QStringLiteral("oem#csv"))->valueAt(0, 0).toString(), QStringLiteral("ÇÜ"));
}

TEST(TextProvider, BadColumnDefinitionFailsTheOpenOfItsTableOnly) {
  testsupport::TempDir dir;
  dir.write(QStringLiteral("bad.csv"), "a,b\n1,2\n");
  dir.write(QStringLiteral("good.csv"), "a,b\n1,2\n");
  dir.write(QStringLiteral("SCHEMA.INI"), "[bad.csv]\nCol0=a Long\n[good.csv]\nCol1=a Long\n");
  auto cn = connect(csvConnection(dir.path()));
  EXPECT_EQ(tableNames(*cn).size(), 2) << "the catalogue lists both";
  const QString bad = errorOf([&] { openTable(cn, QStringLiteral("bad#csv")); });
  EXPECT_TRUE(bad.startsWith(QLatin1String("-2147467259: ")) && bad.contains(QLatin1String("Col0=a Long")) &&
              bad.contains(QLatin1String("[bad.csv]")) && bad.contains(QLatin1String("SCHEMA.INI")))
      << bad.toStdString();
  auto good = openTable(cn, QStringLiteral("good#csv"));
  EXPECT_EQ(good->Fields(0).Type(), adInteger);
}

TEST(TextProvider, BadInputGivesClearErrors) {
  testsupport::TempDir dir;
  dir.write(QStringLiteral("open.csv"), "a,b\n1,2\n3,\"never\nclosed\n");
  dir.write(QStringLiteral("latin.csv"), "a\nok\nstill ok\ncaf\xE9\n");
  dir.write(QStringLiteral("blob.csv"), QByteArray("a\nPK\x03\x04\x00\x00\x14", 9));
  dir.write(QStringLiteral("cut.csv"), "a\n\xD0");
  // Bytes that are not UTF-8 are an error only where UTF-8 is named; ANSI
  // falls back to Windows-1252 (TextProvider.AnsiFileThatIsNotUtf8...).
  dir.write(QStringLiteral("SCHEMA.INI"), "[latin.csv]\nCharacterSet=UTF-8\n[cut.csv]\nCharacterSet=65001\n");
  auto cn = connect(csvConnection(dir.path()));

  const QString open = errorOf([&] { openTable(cn, QStringLiteral("open#csv")); });
  EXPECT_TRUE(open.contains(QStringLiteral("open.csv")) && open.contains(QStringLiteral("line 3"))) << open.toStdString();

  const QString latin = errorOf([&] { openTable(cn, QStringLiteral("latin#csv")); });
  EXPECT_TRUE(latin.contains(QStringLiteral("latin.csv")) && latin.contains(QStringLiteral("line 4")) &&
              latin.contains(QStringLiteral("UTF-8")) && latin.contains(QStringLiteral("CharacterSet")))
      << latin.toStdString();

  const QString blob = errorOf([&] { openTable(cn, QStringLiteral("blob#csv")); });
  EXPECT_TRUE(blob.contains(QStringLiteral("blob.csv")) && blob.contains(QStringLiteral("binary"))) << blob.toStdString();

  const QString cut = errorOf([&] { openTable(cn, QStringLiteral("cut#csv")); });
  EXPECT_TRUE(cut.contains(QStringLiteral("line 2"))) << cut.toStdString();

  for (const QString& e : {open, latin, blob, cut}) EXPECT_TRUE(e.startsWith(QString::number(err::kProviderFailure) + ": "));

  // The same bytes read fine once SCHEMA.INI names their character set.
  dir.write(QStringLiteral("SCHEMA.INI"), "[latin.csv]\nCharacterSet=1252\n");
  EXPECT_EQ(openTable(cn, QStringLiteral("latin#csv"))->valueAt(2, 0).toString(), QStringLiteral("café"));
}

TEST(TextProvider, AnsiFileThatIsNotUtf8IsReadAsWindows1252) {
  if (text::decoderNameFor(QStringLiteral("ANSI")) != QLatin1String("UTF-8"))
    GTEST_SKIP() << "the locale's character set is not UTF-8";
  testsupport::TempDir dir;
  dir.write(QStringLiteral("ansi.csv"), "name,n\nbaix pened\xE8s,1\n\x81\x8D\x8F\x90\x9D\x80,2\n");
  dir.write(QStringLiteral("utf.csv"), "name,n\nbaix pened\xC3\xA8s,1\n");
  dir.write(QStringLiteral("nosection.csv"), "name\nSant Cugat del Vall\xE8s\n");
  // Valid UTF-8 at the start, a Windows-1252 byte beyond the first chunk
  // read: the whole file is one character set, the early bytes included.
  QByteArray late = "name,n\n\xC3\xA9,0\n";
  for (int i = 0; i < 300000; ++i) late += "row number " + QByteArray::number(i) + ",1\n";
  late += "Vilafranca del Pened\xE8s,2\n";
  dir.write(QStringLiteral("late.csv"), late);
  dir.write(QStringLiteral("SCHEMA.INI"),
            "[ansi.csv]\nCharacterSet=ANSI\n[utf.csv]\nCharacterSet=ANSI\n[late.csv]\nCharacterSet=ANSI\n");
  auto cn = connect(csvConnection(dir.path()));

  auto ansi = openTable(cn, QStringLiteral("ansi#csv"));
  EXPECT_EQ(ansi->valueAt(0, 0).toString(), QString::fromUtf8("baix penedès"));
  // Bytes Windows-1252 leaves undefined keep their number: nothing is lost.
  const QString undefined = ansi->valueAt(1, 0).toString();
  EXPECT_EQ(undefined, QString::fromUtf8("\u0081\u008D\u008F\u0090\u009D€"));
  EXPECT_EQ(openTable(cn, QStringLiteral("utf#csv"))->valueAt(0, 0).toString(), QString::fromUtf8("baix penedès"));
  EXPECT_EQ(openTable(cn, QStringLiteral("nosection#csv"))->valueAt(0, 0).toString(),
            QString::fromUtf8("Sant Cugat del Vallès"));

  auto rs = openTable(cn, QStringLiteral("late#csv"));
  ASSERT_EQ(rs->RecordCount(), 300002);
  EXPECT_EQ(rs->valueAt(0, 0).toString(), QString::fromUtf8("Ã©"));
  EXPECT_EQ(rs->valueAt(300001, 0).toString(), QString::fromUtf8("Vilafranca del Penedès"));
  EXPECT_EQ(rs->valueAt(300001, 1), QVariant(qlonglong(2)));
}

TEST(TextProvider, HugeFieldsAndLines) {
  testsupport::TempDir dir;
  QByteArray big(10 * 1024 * 1024, 'x');
  QByteArray quoted = big;
  quoted[5] = '"';
  quoted[1000] = '\n';
  quoted.replace("\"", "\"\"");
  dir.write(QStringLiteral("huge.csv"), "a,b\n" + big + ",1\n\"" + quoted + "\",2\nend,3\n");
  auto rs = openCsv(dir, QStringLiteral("huge#csv"));
  ASSERT_EQ(rs->RecordCount(), 3);
  EXPECT_EQ(rs->Fields(0).Type(), adLongVarWChar);
  EXPECT_EQ(rs->valueAt(0, 0).toString().size(), big.size());
  const QString second = rs->valueAt(1, 0).toString();
  EXPECT_EQ(second.size(), big.size());
  EXPECT_EQ(second[5], QLatin1Char('"'));
  EXPECT_EQ(second[1000], QLatin1Char('\n'));
  EXPECT_EQ(rs->valueAt(2, 1), QVariant(qlonglong(3)));
}

TEST(TextProvider, IsReadOnly) {
  testsupport::TempDir dir;
  dir.write(QStringLiteral("t.csv"), "a,b\n1,x\n");
  auto rs = openCsv(dir, QStringLiteral("t#csv"));
  rs->Fields(1).setValue(QStringLiteral("changed"));
  try {
    rs->UpdateBatch();
    FAIL() << "UpdateBatch succeeded on a text source";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kFeatureNotAvailable);
  }
  EXPECT_EQ(QFile(dir.file(QStringLiteral("t.csv"))).size(), 8);
}
