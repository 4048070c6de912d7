// Damaged and hostile Paradox files made from the real fixtures and from
// tables built byte by byte (3.0 and 3.5 headers, blocks out of file order
// among free and emptied ones): each must
// read or fail with a clear "number: description" error, never crash, hang
// or change a file. Runs under AddressSanitizer in the sanitizer build
// (ctest -L asan).
#include "dataaccess/connection.h"
#include "dataaccess/error.h"
#include "dataaccess/recordset.h"

#include "handtable.h"

#include "testsupport/fixtures.h"
#include "testsupport/tempdir.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <functional>
#include <gtest/gtest.h>

using namespace dataaccess;

namespace {

void rewrite(const QString& path, const std::function<void(QByteArray&)>& change) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return;
  QByteArray b = f.readAll();
  f.close();
  change(b);
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(b);
}

void put16(QByteArray& b, int at, int v) {
  if (b.size() < at + 2) return;
  b[at] = char(v & 0xFF);
  b[at + 1] = char((v >> 8) & 0xFF);
}

struct Damage {
  const char* name;
  std::function<void(const QString& db, const QString& mb)> apply;
};

const std::vector<Damage>& damages() {
  static const std::vector<Damage> list = {
      {"zero length", [](const QString& t, const QString&) { rewrite(t, [](QByteArray& b) { b.clear(); }); }},
      {"shorter than a header", [](const QString& t, const QString&) { rewrite(t, [](QByteArray& b) { b.truncate(60); }); }},
      {"cut inside the header", [](const QString& t, const QString&) { rewrite(t, [](QByteArray& b) { b.truncate(1000); }); }},
      {"cut after the header", [](const QString& t, const QString&) { rewrite(t, [](QByteArray& b) { b.truncate(2048 + 100); }); }},
      {"cut in half", [](const QString& t, const QString&) { rewrite(t, [](QByteArray& b) { b.truncate(b.size() / 2); }); }},
      {"wrong block size", [](const QString& t, const QString&) { rewrite(t, [](QByteArray& b) { b[5] = 7; }); }},
      {"huge block size", [](const QString& t, const QString&) { rewrite(t, [](QByteArray& b) { b[5] = char(0xFF); }); }},
      {"claims more records", [](const QString& t, const QString&) {
         rewrite(t, [](QByteArray& b) { b[6] = char(0xFF), b[7] = char(0xFF), b[8] = 0x0F; });
       }},
      {"record size zero", [](const QString& t, const QString&) { rewrite(t, [](QByteArray& b) { put16(b, 0, 0); }); }},
      {"record size wrong", [](const QString& t, const QString&) { rewrite(t, [](QByteArray& b) { put16(b, 0, 3); }); }},
      {"header size past the end", [](const QString& t, const QString&) { rewrite(t, [](QByteArray& b) { put16(b, 2, 0xF800); }); }},
      {"no fields", [](const QString& t, const QString&) { rewrite(t, [](QByteArray& b) { put16(b, 0x21, 0); }); }},
      {"first block past the end", [](const QString& t, const QString&) { rewrite(t, [](QByteArray& b) { put16(b, 0x0E, 999); }); }},
      {"block chain loops", [](const QString& t, const QString&) {
         rewrite(t, [](QByteArray& b) {
           const int hs = uchar(b[2]) | uchar(b[3]) << 8;
           put16(b, hs, 1);  // block 1 names itself as the next block
         });
       }},
      {"block claims too many records", [](const QString& t, const QString&) {
         rewrite(t, [](QByteArray& b) {
           const int hs = uchar(b[2]) | uchar(b[3]) << 8;
           put16(b, hs + 4, 0x7FFF);
         });
       }},
      {"unknown field type", [](const QString& t, const QString&) { rewrite(t, [](QByteArray& b) { b[0x78] = char(0x42); }); }},
      {"random bytes", [](const QString& t, const QString&) {
         rewrite(t, [](QByteArray& b) {
           QRandomGenerator g(11);
           for (auto& c : b) c = char(g.generate() & 0xFF);
         });
       }},
      {"random header fields", [](const QString& t, const QString&) {
         rewrite(t, [](QByteArray& b) {
           QRandomGenerator g(5);
           for (int i = 0x06; i < 0x78 && i < b.size(); ++i) b[i] = char(g.generate() & 0xFF);
         });
       }},
      {"flipped record bytes", [](const QString& t, const QString&) {
         rewrite(t, [](QByteArray& b) {
           for (qsizetype i = 2048 + 6; i < b.size(); i += 3) b[i] = char(b[i] ^ 0x5A);
         });
       }},
      {"memo file missing", [](const QString&, const QString& m) {
         if (!m.isEmpty()) QFile::remove(m);
       }},
      {"memo file cut", [](const QString&, const QString& m) {
         if (!m.isEmpty()) rewrite(m, [](QByteArray& b) { b.truncate(4200); });
       }},
      {"memo file random", [](const QString&, const QString& m) {
         if (!m.isEmpty())
           rewrite(m, [](QByteArray& b) {
             QRandomGenerator g(9);
             for (auto& c : b) c = char(g.generate() & 0xFF);
           });
       }},
  };
  return list;
}

const char* const kTables[] = {"CUSTOMER", "ORDERS", "CONTACTS", "fmemo", "bcd", "time", "date4", "bytes", "SERVER",
                               "hand30", "hand35"};

// The built tables: a 3.0 table of every fixed-size type in file order, and
// a 3.5 one whose chain runs backwards through the file past free and
// emptied blocks.
handtable::Table builtTable(const QString& name) {
  handtable::Table t;
  t.version = name == QLatin1String("hand30") ? 3 : 4;
  t.fields = {{"Name", 0x01, 12}, {"S", 0x03, 2}, {"L", 0x04, 4}, {"N", 0x06, 8}, {"C", 0x05, 8}, {"D", 0x02, 4},
              {"B", 0x09, 1}};
  for (int i = 0; i < 400; ++i)
    t.records.push_back(handtable::alphaValue("row " + QByteArray::number(i), 12) + handtable::shortValue(i) +
                        handtable::longValue(i * 1000) + handtable::doubleValue(i / 3.0) +
                        (i % 5 ? handtable::doubleValue(i) : QByteArray(8, '\0')) + handtable::longValue(700000 + i) +
                        handtable::logicalValue(i % 2));
  if (t.version == 4) {
    t.blockKb = 2;
    t.perBlock = {30, 0, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 10};
    for (int b = int(t.perBlock.size()); b >= 1; --b) t.placement.push_back(b + 2);
    t.freeBlocks = 2;
  }
  return t;
}

QMap<QString, QByteArray> folderBytes(const QString& folder) {
  QMap<QString, QByteArray> out;
  for (const QString& n : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
    QFile f(QDir(folder).filePath(n));
    if (f.open(QIODevice::ReadOnly)) out[n] = f.readAll();
  }
  return out;
}

}  // namespace

class ParadoxCorruption : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(ParadoxCorruption, FailsCleanlyAndChangesNothing) {
  const QString table = QString::fromLatin1(kTables[std::get<0>(GetParam())]);
  const Damage& damage = damages()[size_t(std::get<1>(GetParam()))];
  testsupport::TempDir tmp;
  QString db, mb;
  if (table.startsWith(QLatin1String("hand"))) {
    db = tmp.file(table + ".db");
    ASSERT_TRUE(handtable::write(builtTable(table), db));
  }
  const QString dir = db.isEmpty() ? testsupport::fixture("paradox") : QString();
  if (db.isEmpty() && dir.isEmpty()) GTEST_SKIP() << "fixtures not available";
  for (const QString& n : dir.isEmpty() ? QStringList() : QDir(dir).entryList(QDir::Files)) {
    if (n.section('.', 0, 0) != table) continue;
    QFile::copy(QDir(dir).filePath(n), tmp.file(n));
    QFile::setPermissions(tmp.file(n), QFile::ReadOwner | QFile::WriteOwner);
    const QString ext = n.section('.', 1).toLower();
    if (ext == "db") db = tmp.file(n);
    if (ext == "mb") mb = tmp.file(n);
  }
  damage.apply(db, mb);
  const auto before = folderBytes(tmp.path());
  QString outcome = QStringLiteral("ok");
  try {
    auto cn = std::make_shared<Connection>();
    cn->Open(QStringLiteral("Driver={Microsoft Paradox Driver (*.db )};Extended Properties=\"DefaultDir=%1;\";")
                 .arg(tmp.path()));
    cn->OpenSchema(adSchemaColumns, {QVariant(), QVariant(), table});
    Recordset rs;
    rs.setCursorLocation(adUseClient);
    rs.Open(QStringLiteral("SELECT * FROM %1").arg(table), cn, adOpenKeyset, adLockBatchOptimistic, adCmdText);
    for (; !rs.IsEOF(); rs.MoveNext())
      for (int i = 0; i < rs.FieldCount(); ++i) (void)rs.Fields(i).Value();
  } catch (const Error& e) {
    outcome = e.message();
  }
  SCOPED_TRACE(outcome.toStdString());
  EXPECT_TRUE(outcome == QLatin1String("ok") || outcome.contains(QLatin1String(": ")));
  EXPECT_EQ(folderBytes(tmp.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, ParadoxCorruption,
    ::testing::Combine(::testing::Range(0, int(std::size(kTables))), ::testing::Range(0, int(damages().size()))),
    [](const ::testing::TestParamInfo<std::tuple<int, int>>& info) {
      QString n = QStringLiteral("%1_%2").arg(QString::fromLatin1(kTables[std::get<0>(info.param)]),
                                             QString::fromLatin1(damages()[size_t(std::get<1>(info.param))].name));
      n.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("_"));
      return n.toStdString();
    });
