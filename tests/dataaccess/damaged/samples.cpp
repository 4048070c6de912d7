#include "samples.h"

#include "../paradox/handtable.h"
#include "../xbase/xbasetestutil.h"
#ifdef LUMBROOK_DAMAGED_BIFFWRITER
#include "../excel/biffwriter.h"
#endif

#include "dataaccess/recordset.h"
#include "dataaccess/rowstore.h"
#include "dataaccess/values.h"
#include "testsupport/fakeprovider.h"
#include "testsupport/fixtures.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace damaged {

namespace {

int le16(const QByteArray& b, qsizetype at) {
  return at + 2 <= b.size() ? uchar(b[at]) | uchar(b[at + 1]) << 8 : 0;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Length of the first and of the last line of a text file.
Layout lineLayout(const QByteArray& bytes) {
  const qsizetype firstEnd = bytes.indexOf('\n');
  const qsizetype lastStart = bytes.lastIndexOf('\n', bytes.size() - 2);
  return {firstEnd < 0 ? bytes.size() : firstEnd + 1, lastStart < 0 ? bytes.size() : bytes.size() - lastStart - 1};
}

// A comma-separated table and a tab-separated one, both described by SCHEMA.INI:
// typed columns, a quoted field with a line break and a long memo.
bool buildText(const QString& folder) {
  const QByteArray schema =
      "[data.csv]\r\nColNameHeader=True\r\nFormat=CSVDelimited\r\nCharacterSet=ANSI\r\nDateTimeFormat=yyyy-mm-dd\r\n"
      "Col1=Name Char Width 20\r\nCol2=Qty Long\r\nCol3=Price Currency\r\nCol4=Sold Date\r\nCol5=Note LongChar\r\n"
      "Col6=Ok Bit\r\n\r\n"
      "[tabbed.txt]\r\nColNameHeader=False\r\nFormat=TabDelimited\r\nCol1=Code Char Width 4\r\nCol2=Amount Long\r\n"
      "Col3=Rate Double\r\n";
  QByteArray csv = "Name,Qty,Price,Sold,Note,Ok\r\n";
  QByteArray tabbed;
  for (int i = 0; i < 60; ++i) {
    csv += "\"item " + QByteArray::number(i) + "\"," + QByteArray::number(i * 7) + "," + QByteArray::number(i * 1.25) +
           ",2024-0" + QByteArray::number(1 + i % 9) + "-1" + QByteArray::number(i % 10) + ",\"" +
           (i % 5 == 0 ? QByteArray("line one\r\nline \"\"two\"\"") : QByteArray("x").repeated(i * 20)) + "\"," +
           (i % 2 ? "1" : "0") + "\r\n";
    tabbed += QByteArray::number(1000 + i) + "\t" + QByteArray::number(i * 13) + "\t" +
              QByteArray::number(i / 7.0, 'f', 3) + "\r\n";
  }
  return writeFile(QDir(folder).filePath("SCHEMA.INI"), schema) && writeFile(QDir(folder).filePath("data.csv"), csv) &&
         writeFile(QDir(folder).filePath("tabbed.txt"), tabbed);
}

// A rowset saved by the recordset itself: numbers, text, dates, Nulls,
// binary values and a memo.
bool buildPersist(const QString& folder) {
  using namespace dataaccess;
  std::vector<FieldInfo> fields = {{"Id", adInteger, 4},       {"Name", adVarWChar, 40}, {"Money", adCurrency, 8},
                                   {"When", adDate, 8},        {"Flag", adBoolean, 2},   {"Memo", adLongVarWChar, 0},
                                   {"Blob", adLongVarBinary, 0}, {"Ratio", adDouble, 8}};
  auto rows = std::make_shared<RowStore>(fields);
  for (int i = 0; i < 40; ++i)
    rows->appendRow({qlonglong(i), QStringLiteral("name <%1> & \"q\"").arg(i), 12.5 * i,
                     makeDateTime(QDate(2000, 1, 1).addDays(i), QTime(i % 24, 0)), bool(i % 2),
                     i % 3 ? QVariant(QStringLiteral("memo ").repeated(i)) : QVariant(),
                     QByteArray(i, char(i)), i / 3.0});
  testsupport::FakeProvider* fake = nullptr;
  auto cn = testsupport::fakeConnection(&fake);
  fake->tables["T"] = {"TABLE", rows};
  fake->order.push_back("T");
  Recordset rs;
  rs.Open("SELECT * FROM T", cn, adOpenStatic, adLockReadOnly);
  rs.Save(QDir(folder).filePath("rows.xml"));
  return QFileInfo::exists(QDir(folder).filePath("rows.xml"));
}

#ifdef LUMBROOK_DAMAGED_BIFFWRITER
// An Excel 97-2003 workbook whose shared strings run on in CONTINUE records.
bool buildBiff8(const QString& folder) {
  biffwriter::Biff8Book book(200);
  for (int c = 0; c < 5; ++c) book.labelSst(0, c, book.share(QStringLiteral("Head%1").arg(c)));
  for (int r = 1; r <= 80; ++r) {
    book.labelSst(r, 0, book.share(QStringLiteral("text %1 ").arg(r).repeated(r % 9 + 1), r % 7 == 3 ? 2 : 0));
    book.number(r, 1, 0, r * 1.5);
    book.number(r, 2, 1, 40000 + r);
    book.boolean(r, 3, r % 2);
    if (r % 4) book.formulaText(r, 4, QStringLiteral("f%1").arg(r));
    else book.blank(r, 4);
  }
  book.mulBlank(81, 0, 4);
  book.dimensions(0, 82, 0, 5);
  biffwriter::writeXls(QDir(folder).filePath("book.xls"), book.stream(QStringLiteral("Data")));
  return QFileInfo(QDir(folder).filePath("book.xls")).size() > 0;
}

// A bare Excel 4.0 worksheet (no compound document around it).
bool buildBiff4(const QString& folder) {
  biffwriter::OldSheet s(4);
  s.codePage(1252);
  s.format("0.00");
  s.xf(0);
  s.xf(0);
  s.dimensions(0, 40, 0, 4);
  s.label(0, 0, "Name");
  s.label(0, 1, "Value");
  s.label(0, 2, "Flag");
  s.label(0, 3, "Calc");
  for (int r = 1; r < 40; ++r) {
    s.label(r, 0, "row " + QByteArray::number(r));
    if (r % 3) s.number(r, 1, 1, r / 4.0);
    else s.rk(r, 1, 1, uint32_t(r) << 2 | 2);
    s.boolErr(r, 2, r % 2, false);
    s.formulaNumber(r, 3, 0, r * 2.0);
  }
  return writeFile(QDir(folder).filePath("old.xls"), s.stream());
}
#endif

// A Visual FoxPro table with a memo field and its .fpt file.
bool buildFoxMemo(const QString& folder) {
  std::vector<QByteArray> records;
  QByteArray fpt(512, '\0');
  fpt[6] = 0;
  fpt[7] = 64;  // block size
  for (int i = 0; i < 30; ++i) {
    const QByteArray text = "memo of row " + QByteArray::number(i) + QByteArray(" and more").repeated(i % 11);
    const uint32_t block = uint32_t(fpt.size() / 64);
    QByteArray head(8, '\0');
    head[3] = 1;  // text
    for (int k = 0; k < 4; ++k) head[7 - k] = char((text.size() >> (8 * k)) & 0xFF);
    fpt += head + text;
    fpt += QByteArray((64 - fpt.size() % 64) % 64, '\0');
    QByteArray rec(4, '\0');
    for (int k = 0; k < 4; ++k) rec[k] = char((i >> (8 * k)) & 0xFF);
    rec += QByteArray("name" + QByteArray::number(i)).leftJustified(10, ' ');
    QByteArray ptr(4, '\0');
    const uint32_t b = i % 6 == 5 ? 0 : block;  // some rows without a memo
    for (int k = 0; k < 4; ++k) ptr[k] = char((b >> (8 * k)) & 0xFF);
    records.push_back(rec + ptr);
  }
  const uint32_t next = uint32_t(fpt.size() / 64);
  for (int k = 0; k < 4; ++k) fpt[3 - k] = char((next >> (8 * k)) & 0xFF);
  const QByteArray dbf = xbasetest::vfpTable({{"ID", 'I', 4}, {"NAME", 'C', 10}, {"NOTE", 'M', 4}}, records);
  return writeFile(QDir(folder).filePath("foxmemo.dbf"), dbf) && writeFile(QDir(folder).filePath("foxmemo.fpt"), fpt);
}

// A dBase III table with memo numbers in text and its .dbt file.
bool buildDbaseMemo(const QString& folder) {
  struct F {
    const char* name;
    char type;
    int width, decimals;
  };
  const F fields[] = {
      {"NAME", 'C', 12, 0}, {"QTY", 'N', 6, 2}, {"DAY", 'D', 8, 0}, {"OK", 'L', 1, 0}, {"NOTE", 'M', 10, 0}};
  int recordLength = 1;
  for (const F& f : fields) recordLength += f.width;
  const int count = 25, headerLength = 32 + 32 * int(std::size(fields)) + 1;
  QByteArray dbf(32, '\0');
  dbf[0] = char(0x83);
  dbf[1] = 124, dbf[2] = 5, dbf[3] = 6;
  dbf[4] = char(count);
  dbf[8] = char(headerLength & 0xFF), dbf[9] = char(headerLength >> 8);
  dbf[10] = char(recordLength & 0xFF), dbf[11] = char(recordLength >> 8);
  for (const F& f : fields) {
    QByteArray d(32, '\0');
    d.replace(0, qsizetype(strlen(f.name)), f.name);
    d[11] = f.type;
    d[16] = char(f.width);
    d[17] = char(f.decimals);
    dbf += d;
  }
  dbf += '\x0D';
  QByteArray dbt(512, '\0');
  for (int i = 0; i < count; ++i) {
    const int block = int(dbt.size() / 512);
    const QByteArray text = "note " + QByteArray::number(i) + QByteArray(" lorem ipsum").repeated(i * 5);
    dbt += text + "\x1A\x1A";
    dbt += QByteArray((512 - dbt.size() % 512) % 512, '\0');
    dbf += ' ';
    dbf += QByteArray("n" + QByteArray::number(i)).leftJustified(12, ' ');
    dbf += QByteArray::number(i * 1.5, 'f', 2).rightJustified(6, ' ');
    dbf += "2023" + QByteArray::number(10 + i % 3) + QByteArray::number(10 + i);
    dbf += i % 2 ? "T" : "F";
    dbf += i % 4 == 3 ? QByteArray(10, ' ') : QByteArray::number(block).rightJustified(10, ' ');
  }
  dbf += '\x1A';
  const int next = int(dbt.size() / 512);
  for (int k = 0; k < 4; ++k) dbt[k] = char((next >> (8 * k)) & 0xFF);
  return writeFile(QDir(folder).filePath("dbmemo.dbf"), dbf) && writeFile(QDir(folder).filePath("dbmemo.dbt"), dbt);
}

// Paradox tables built byte by byte: a 3.0 table of every fixed-size type in
// file order, and a 3.5 one whose chain runs backwards through the file
// past free and emptied blocks.
bool buildParadox(const QString& folder, bool v35) {
  handtable::Table t;
  t.version = v35 ? 4 : 3;
  t.fields = {{"Name", 0x01, 12}, {"S", 0x03, 2}, {"L", 0x04, 4}, {"N", 0x06, 8}, {"C", 0x05, 8}, {"D", 0x02, 4},
              {"B", 0x09, 1}};
  for (int i = 0; i < 400; ++i)
    t.records.push_back(handtable::alphaValue("row " + QByteArray::number(i), 12) + handtable::shortValue(i) +
                        handtable::longValue(i * 1000) + handtable::doubleValue(i / 3.0) +
                        (i % 5 ? handtable::doubleValue(i) : QByteArray(8, '\0')) + handtable::longValue(700000 + i) +
                        handtable::logicalValue(i % 2));
  if (v35) {
    t.blockKb = 2;
    t.perBlock = {30, 0, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 10};
    for (int b = int(t.perBlock.size()); b >= 1; --b) t.placement.push_back(b + 2);
    t.freeBlocks = 2;
  }
  return handtable::write(t, QDir(folder).filePath(v35 ? "hand35.db" : "hand30.db"));
}

Sample fixture(std::string name, Format format, const char* folder, QStringList files, const char* main,
               const char* companion = "", const char* container = "") {
  Sample s;
  s.name = std::move(name);
  s.format = format;
  s.fixtureFolder = QString::fromLatin1(folder);
  s.fixtureFiles = std::move(files);
  s.main = QString::fromLatin1(main);
  s.companion = QString::fromLatin1(companion);
  s.container = QString::fromLatin1(container);
  return s;
}

Sample built(std::string name, Format format, std::function<bool(const QString&)> build, const char* main,
             const char* companion = "") {
  Sample s;
  s.name = std::move(name);
  s.format = format;
  s.build = std::move(build);
  s.main = QString::fromLatin1(main);
  s.companion = QString::fromLatin1(companion);
  return s;
}

std::vector<Sample> makeSamples() {
  std::vector<Sample> out;
#ifdef LUMBROOK_HAVE_PROVIDER_text
  out.push_back(built("text_csv", Format::Text, buildText, "data.csv", "SCHEMA.INI"));
  out.push_back(built("text_tabbed", Format::Text, buildText, "tabbed.txt", "SCHEMA.INI"));
#endif
#ifdef LUMBROOK_HAVE_PROVIDER_persist
  out.push_back(built("persist_rowset", Format::Persist, buildPersist, "rows.xml"));
#endif
#ifdef LUMBROOK_HAVE_PROVIDER_jet
  out.push_back(fixture("jet_fruit", Format::Jet, "access", {"fruit.mdb"}, "fruit.mdb"));
  out.push_back(fixture("jet_nwind", Format::Jet, "access", {"nwind.mdb"}, "nwind.mdb"));
  // The Jet 4 file turned into an Access 2007 one, as the jet tests do.
  Sample accdb = fixture("jet_fruit_accdb", Format::Jet, "access", {"fruit.mdb"}, "fruit.accdb");
  accdb.build = [](const QString& folder) {
    QFile f(QDir(folder).filePath("fruit.mdb"));
    if (!f.open(QIODevice::ReadOnly)) return false;
    QByteArray bytes = f.readAll();
    f.close();
    bytes.replace(4, 16, QByteArray("Standard ACE DB\0", 16));
    bytes[0x14] = 2;
    return f.remove() && writeFile(QDir(folder).filePath("fruit.accdb"), bytes);
  };
  out.push_back(std::move(accdb));
#endif
#ifdef LUMBROOK_HAVE_PROVIDER_excel
#ifdef LUMBROOK_DAMAGED_BIFFWRITER
  out.push_back(built("excel_biff8", Format::Excel, buildBiff8, "book.xls"));
  out.push_back(built("excel_biff4", Format::Excel, buildBiff4, "old.xls"));
#endif
  for (const char* f : {"ragged", "namesdemo", "Formate", "profiles"}) {
    const QString file = QString::fromLatin1(f) + QStringLiteral(".xls");
    out.push_back(fixture(std::string("excel_") + f, Format::Excel, "excel", {file}, qPrintable(file)));
  }
#endif
#ifdef LUMBROOK_HAVE_PROVIDER_xbase
  out.push_back(built("xbase_foxmemo", Format::XBase, buildFoxMemo, "foxmemo.dbf", "foxmemo.fpt"));
  out.push_back(built("xbase_dbmemo", Format::XBase, buildDbaseMemo, "dbmemo.dbf", "dbmemo.dbt"));
  out.push_back(fixture("xbase_dbase03", Format::XBase, "dbase", {"dbase_03.dbf"}, "dbase_03.dbf"));
  out.push_back(fixture("xbase_dbase83", Format::XBase, "dbase", {"dbase_83.dbf", "dbase_83.dbt"}, "dbase_83.dbf",
                        "dbase_83.dbt"));
  out.push_back(fixture("xbase_dbase8b", Format::XBase, "dbase", {"dbase_8b.dbf", "dbase_8b.dbt"}, "dbase_8b.dbf",
                        "dbase_8b.dbt"));
  out.push_back(fixture("xbase_foxf5", Format::XBase, "foxpro", {"dbase_f5.dbf", "dbase_f5.fpt"}, "dbase_f5.dbf",
                        "dbase_f5.fpt"));
  out.push_back(fixture("xbase_calls", Format::XBase, "foxpro/container", {}, "calls.dbf", "calls.FPT"));
  out.push_back(fixture("xbase_dbc_contacts", Format::XBase, "foxpro/container", {}, "contacts.dbf", "contacts.FPT",
                        "FOXPRO-DB-TEST.DBC"));
  out.push_back(fixture("xbase_dbc", Format::XBase, "foxpro/container", {}, "FOXPRO-DB-TEST.DBC",
                        "FOXPRO-DB-TEST.DCT", "FOXPRO-DB-TEST.DBC"));
#endif
#ifdef LUMBROOK_HAVE_PROVIDER_paradox
  out.push_back(built("paradox_hand30", Format::Paradox, [](const QString& f) { return buildParadox(f, false); },
                      "hand30.db"));
  out.push_back(built("paradox_hand35", Format::Paradox, [](const QString& f) { return buildParadox(f, true); },
                      "hand35.db"));
  out.push_back(fixture("paradox_customer", Format::Paradox, "paradox", {"CUSTOMER.DB", "CUSTOMER.MB", "CUSTOMER.PX"},
                        "CUSTOMER.DB", "CUSTOMER.MB"));
  out.push_back(fixture("paradox_fmemo", Format::Paradox, "paradox", {"fmemo.db", "fmemo.mb", "fmemo.px"}, "fmemo.db",
                        "fmemo.mb"));
  for (const char* t : {"ORDERS", "CONTACTS", "SERVER", "bcd", "bytes", "date4", "time"}) {
    const QString file = QString::fromLatin1(t) + QStringLiteral(".") +
                         (QChar::fromLatin1(t[0]).isUpper() ? QStringLiteral("DB") : QStringLiteral("db"));
    out.push_back(fixture(std::string("paradox_") + t, Format::Paradox, "paradox", {file}, qPrintable(file)));
  }
#endif
  return out;
}

}  // namespace

const std::vector<Sample>& samples() {
  static const std::vector<Sample> list = makeSamples();
  return list;
}

Layout mainLayout(Format format, const QByteArray& b) {
  switch (format) {
    case Format::Text:
      return lineLayout(b);
    case Format::Persist: {
      const qsizetype data = b.indexOf("<rs:data>");
      const qsizetype lastRow = b.lastIndexOf("<z:row");
      return {data < 0 ? 0 : data, lastRow < 0 ? 0 : b.size() - lastRow};
    }
    case Format::Jet: {
      // Version byte 0 is Jet 3 with 2 KB pages; later versions use 4 KB.
      const qsizetype page = b.size() > 0x14 && b[0x14] == 0 ? 2048 : 4096;
      return {page, page};
    }
    case Format::Excel:
      if (b.startsWith(QByteArray("\xD0\xCF\x11\xE0", 4))) return {512, qsizetype(1) << le16(b, 30)};
      return {4 + le16(b, 2), 4};  // a bare stream: its BOF record; its EOF record
    case Format::XBase:
      return {le16(b, 8), le16(b, 10)};
    case Format::Paradox:
      return {le16(b, 2), b.size() > 5 ? qsizetype(uchar(b[5])) * 1024 : 0};
  }
  return {};
}

Layout companionLayout(Format format, const QByteArray& b) {
  switch (format) {
    case Format::Text:
      return lineLayout(b);
    case Format::XBase: {
      const int fptBlock = b.size() > 8 ? uchar(b[6]) << 8 | uchar(b[7]) : 0;
      const int dbtBlock = le16(b, 20);
      return {512, fptBlock >= 32 ? fptBlock : dbtBlock >= 64 && dbtBlock % 64 == 0 ? dbtBlock : 512};
    }
    case Format::Paradox:
      return {4096, 4096};
    default:
      return {};
  }
}

bool materialise(const Sample& sample, const QString& folder, QString* why) {
  why->clear();
  if (sample.build && sample.fixtureFolder.isEmpty()) {
    if (!sample.build(folder)) {
      *why = QStringLiteral("could not build the sample");
      return false;
    }
    return true;
  }
  const QString from = testsupport::fixture(sample.fixtureFolder);
  if (from.isEmpty()) return false;
  QStringList names = sample.fixtureFiles;
  if (names.isEmpty()) names = QDir(from).entryList(QDir::Files);
  for (const QString& n : names) {
    // Through fixture() so that a named file missing from a present folder fails.
    const QString source = testsupport::fixture(sample.fixtureFolder + QLatin1Char('/') + n);
    const QString target = QDir(folder).filePath(n);
    if (source.isEmpty() || !QFile::copy(source, target)) {
      *why = QStringLiteral("could not copy fixture %1").arg(n);
      return false;
    }
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
  }
  if (sample.build && !sample.build(folder)) {
    *why = QStringLiteral("could not make the sample from its fixture");
    return false;
  }
  return true;
}

}  // namespace damaged
