// Damaged and hostile dBase/FoxPro files made from the real fixtures:
// truncations, zero-length and random files, headers that claim more than
// the file holds, memo pointers past the end, missing and damaged memo
// files, and flipped bytes. Each case must either read or fail with a clear
// Error, never crash or hang, and never change a file. Runs under
// AddressSanitizer in the sanitizer build (ctest -L asan).
#include "xbasetestutil.h"

#include "dataaccess/error.h"
#include "dataaccess/providers/xbase/dbftable.h"

#include "testsupport/fixtures.h"
#include "testsupport/tempdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <functional>
#include <gtest/gtest.h>

using namespace dataaccess;
using namespace xbasetest;

namespace {

struct Damage {
  const char* name;
  // Changes the copied files; `table` is the .dbf, `memo` its memo file or "".
  std::function<void(const QString& table, const QString& memo)> apply;
};

void rewrite(const QString& path, const std::function<void(QByteArray&)>& change) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  QByteArray b = f.readAll();
  f.close();
  change(b);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(b);
}

void putLe32(QByteArray& b, int at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = char((v >> (8 * i)) & 0xFF);
}

int headerLength(const QByteArray& b) { return uchar(b[8]) | uchar(b[9]) << 8; }

// Points the first memo field of the first record at `block`.
void setFirstMemoPointer(QByteArray& b, uint32_t block) {
  for (int d = 32; d + 32 <= headerLength(b) && b[d] != '\x0D'; d += 32) {
    const char type = b[d + 11];
    if (type != 'M') continue;
    int offset = 1;
    for (int e = 32; e < d; e += 32) offset += uchar(b[e + 16]);
    const int width = uchar(b[d + 16]);
    const int at = headerLength(b) + offset;
    if (width == 4) {
      putLe32(b, at, block);
    } else {
      const QByteArray digits = QByteArray::number(block).rightJustified(width, ' ');
      b.replace(at, width, digits);
    }
    return;
  }
}

const std::vector<Damage>& damages() {
  static const std::vector<Damage> list = {
      {"zero length", [](const QString& t, const QString&) { rewrite(t, [](QByteArray& b) { b.clear(); }); }},
      {"shorter than a header", [](const QString& t, const QString&) { rewrite(t, [](QByteArray& b) { b.truncate(20); }); }},
      {"cut inside the field list", [](const QString& t, const QString&) { rewrite(t, [](QByteArray& b) { b.truncate(50); }); }},
      {"cut after the header", [](const QString& t, const QString&) {
         rewrite(t, [](QByteArray& b) { b.truncate(headerLength(b) + 3); });
       }},
      {"cut in half", [](const QString& t, const QString&) { rewrite(t, [](QByteArray& b) { b.truncate(b.size() / 2); }); }},
      {"last byte missing", [](const QString& t, const QString&) { rewrite(t, [](QByteArray& b) { b.chop(1); }); }},
      {"claims more records", [](const QString& t, const QString&) {
         rewrite(t, [](QByteArray& b) { putLe32(b, 4, 1000000); });
       }},
      {"claims 4 billion records", [](const QString& t, const QString&) {
         rewrite(t, [](QByteArray& b) { putLe32(b, 4, 0xFFFFFFFFu); });
       }},
      {"claims a longer record", [](const QString& t, const QString&) {
         rewrite(t, [](QByteArray& b) { b[11] = char(uchar(b[11]) + 40); });
       }},
      {"claims a header past the end", [](const QString& t, const QString&) {
         rewrite(t, [](QByteArray& b) { b[8] = char(0xFF), b[9] = char(0xFF); });
       }},
      {"header length zero", [](const QString& t, const QString&) { rewrite(t, [](QByteArray& b) { b[8] = 0, b[9] = 0; }); }},
      {"record length zero", [](const QString& t, const QString&) { rewrite(t, [](QByteArray& b) { b[10] = 0, b[11] = 0; }); }},
      {"field wider than the record", [](const QString& t, const QString&) {
         rewrite(t, [](QByteArray& b) { b[32 + 16] = char(0xFF); });
       }},
      {"no field terminator", [](const QString& t, const QString&) {
         rewrite(t, [](QByteArray& b) {
           for (int i = 32; i < headerLength(b) && i < b.size(); ++i)
             if (b[i] == '\x0D') b[i] = 'X';
         });
       }},
      {"random bytes", [](const QString& t, const QString&) {
         rewrite(t, [](QByteArray& b) {
           QRandomGenerator g(42);
           for (auto& c : b) c = char(g.generate() & 0xFF);
         });
       }},
      {"random header after a valid first byte", [](const QString& t, const QString&) {
         rewrite(t, [](QByteArray& b) {
           QRandomGenerator g(7);
           for (int i = 4; i < std::min<qsizetype>(b.size(), 32); ++i) b[i] = char(g.generate() & 0xFF);
         });
       }},
      {"flipped bytes in the field list", [](const QString& t, const QString&) {
         rewrite(t, [](QByteArray& b) {
           for (int i = 32; i < std::min<qsizetype>(b.size(), headerLength(b)); i += 7) b[i] = char(b[i] ^ 0xFF);
         });
       }},
      {"flipped bytes in the records", [](const QString& t, const QString&) {
         rewrite(t, [](QByteArray& b) {
           for (qsizetype i = headerLength(b); i < b.size(); i += 5) b[i] = char(b[i] ^ 0xA5);
         });
       }},
      {"memo pointer past the end", [](const QString& t, const QString& m) {
         if (!m.isEmpty()) rewrite(t, [](QByteArray& b) { setFirstMemoPointer(b, 999999); });
       }},
      {"memo pointer into the header", [](const QString& t, const QString& m) {
         if (!m.isEmpty()) rewrite(t, [](QByteArray& b) { setFirstMemoPointer(b, 0x7FFFFFFF); });
       }},
      {"memo file missing", [](const QString&, const QString& m) {
         if (!m.isEmpty()) QFile::remove(m);
       }},
      {"memo file cut", [](const QString&, const QString& m) {
         if (!m.isEmpty()) rewrite(m, [](QByteArray& b) { b.truncate(600); });
       }},
      {"memo file empty", [](const QString&, const QString& m) {
         if (!m.isEmpty()) rewrite(m, [](QByteArray& b) { b.clear(); });
       }},
      {"memo block lengths huge", [](const QString&, const QString& m) {
         if (!m.isEmpty())
           rewrite(m, [](QByteArray& b) {
             for (qsizetype i = 512; i + 8 <= b.size(); i += 64) {
               b[i + 4] = char(0x7F);
               b[i + 5] = char(0xFF);
             }
           });
       }},
      {"memo header random", [](const QString&, const QString& m) {
         if (!m.isEmpty())
           rewrite(m, [](QByteArray& b) {
             QRandomGenerator g(3);
             for (int i = 0; i < std::min<qsizetype>(b.size(), 512); ++i) b[i] = char(g.generate() & 0xFF);
           });
       }},
  };
  return list;
}

struct Source {
  const char* folder;
  const char* table;  // base name of the .dbf
  bool container;
};

const Source kSources[] = {
    {"dbase", "dbase_03", false},     {"dbase", "dbase_83", false},          {"dbase", "dbase_8b", false},
    {"foxpro", "dbase_f5", false},    {"foxpro/container", "calls", false},  {"foxpro/container", "contacts", true},
    {"foxpro/container", "FOXPRO-DB-TEST", true},
};

QMap<QString, QByteArray> folderBytes(const QString& folder) {
  QMap<QString, QByteArray> out;
  for (const QString& n : QDir(folder).entryList(QDir::Files | QDir::Hidden)) out[n] = readAll(QDir(folder).filePath(n));
  return out;
}

// Opens the source and reads every table's rows and columns; returns what
// happened, "ok" or the error text.
QString readEverything(const QString& connectionString) {
  try {
    auto cn = connect(connectionString);
    auto tables = cn->OpenSchema(adSchemaTables);
    for (; !tables->IsEOF(); tables->MoveNext()) {
      const QString name = tables->Fields("TABLE_NAME").Value().toString();
      try {
        auto rs = openTable(cn, name);
        for (; !rs->IsEOF(); rs->MoveNext())
          for (int i = 0; i < rs->FieldCount(); ++i) (void)rs->Fields(i).Value();
        cn->OpenSchema(adSchemaColumns, {QVariant(), QVariant(), name});
      } catch (const Error& e) {
        if (e.message().isEmpty()) return QStringLiteral("empty error");
      }
    }
    return QStringLiteral("ok");
  } catch (const Error& e) {
    return e.message();
  }
}

}  // namespace

class XBaseCorruption : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(XBaseCorruption, FailsCleanlyAndChangesNothing) {
  const Source& src = kSources[std::get<0>(GetParam())];
  const Damage& damage = damages()[size_t(std::get<1>(GetParam()))];
  const QString from = testsupport::fixture(QString::fromLatin1(src.folder));
  if (from.isEmpty()) GTEST_SKIP() << "fixtures not available";
  testsupport::TempDir tmp;
  copyFiles(from, tmp.path());
  const QString ext = QString::fromLatin1(src.table) == QLatin1String("FOXPRO-DB-TEST") ? "DBC" : "dbf";
  const QString table = tmp.file(QString::fromLatin1(src.table) + "." + ext);
  QString memo;
  for (const QString& n : QDir(tmp.path()).entryList(QDir::Files)) {
    const QFileInfo fi(n);
    const QString e = fi.suffix().toLower();
    if (fi.completeBaseName() == QLatin1String(src.table) && (e == "dbt" || e == "fpt" || e == "dct"))
      memo = tmp.file(n);
  }
  damage.apply(table, memo);
  const auto before = folderBytes(tmp.path());

  const QString cs = src.container ? containerConnection(tmp.file("FOXPRO-DB-TEST.DBC")) : folderConnection(tmp.path());
  const QString outcome = readEverything(cs);
  SCOPED_TRACE(outcome.toStdString());
  EXPECT_FALSE(outcome.isEmpty());
  if (outcome != QLatin1String("ok")) {
    // "number: description", with a description that says something.
    EXPECT_TRUE(outcome.contains(QLatin1String(": "))) << outcome.toStdString();
  }
  EXPECT_EQ(folderBytes(tmp.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, XBaseCorruption,
    ::testing::Combine(::testing::Range(0, int(std::size(kSources))), ::testing::Range(0, int(damages().size()))),
    [](const ::testing::TestParamInfo<std::tuple<int, int>>& info) {
      QString n = QStringLiteral("%1_%2")
                      .arg(QString::fromLatin1(kSources[std::get<0>(info.param)].table),
                           QString::fromLatin1(damages()[size_t(std::get<1>(info.param))].name));
      n.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("_"));
      return n.toStdString();
    });

// A damaged table must not be written either: the batch fails before any
// file is touched.
TEST(XBaseCorruptionWrite, EditOfATableWhoseMemoWasCutFailsUntouched) {
  LUMBROOK_REQUIRE_FIXTURE(dir, "dbase");
  testsupport::TempDir tmp;
  copyFiles(dir, tmp.path(), "dbase_8b");
  auto cn = connect(folderConnection(tmp.path()));
  auto rs = openTable(cn, "dbase_8b");
  rewrite(tmp.file("dbase_8b.dbt"), [](QByteArray& b) { b.truncate(515); });  // the first memo block is gone
  const auto before = folderBytes(tmp.path());
  rs->Fields("CHARACTER").setValue(QStringLiteral("changed"));
  EXPECT_THROW(rs->UpdateBatch(), Error);
  EXPECT_EQ(folderBytes(tmp.path()), before);
}

// A damaged descriptor can give a binary field (integer, currency, double,
// date-time) fewer bytes than its value takes: the field reads as its bytes,
// the other fields keep their values, and an edit of it is refused instead
// of writing past the field.
TEST(XBaseCorruptionNarrowFields, ReadAsBytesAndRefuseEdits) {
  testsupport::TempDir tmp;
  const QByteArray record = QByteArray("ab") + "cde" + "fghi" + "j" + "T" + "name ";
  const QByteArray bytes = vfpTable({{"I2", 'I', 2}, {"Y3", 'Y', 3}, {"T4", 'T', 4}, {"B1", 'B', 1}, {"L1", 'L', 1},
                                     {"NAME", 'C', 5}},
                                    {record});
  QFile f(tmp.file("narrow.dbf"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
  f.close();

  DbfTable table(tmp.file("narrow.dbf"));
  auto rows = table.load();
  ASSERT_EQ(rows->rowCount(), 1);
  EXPECT_EQ(rows->value(0, 0).toByteArray(), QByteArray("ab"));
  EXPECT_EQ(rows->value(0, 1).toByteArray(), QByteArray("cde"));
  EXPECT_EQ(rows->value(0, 2).toByteArray(), QByteArray("fghi"));
  EXPECT_EQ(rows->value(0, 3).toByteArray(), QByteArray("j"));
  EXPECT_EQ(rows->value(0, 4).toBool(), true);
  EXPECT_EQ(rows->value(0, 5).toString(), QStringLiteral("name"));
  const char* raw = table.record(0);
  EXPECT_EQ(table.value(raw, 2, 0).toByteArray(), QByteArray("fghi"));

  for (int column = 0; column < 4; ++column) {
    std::string copy(raw, size_t(table.recordLength()));
    const std::string before = copy;
    EXPECT_THROW(table.encode(copy, column, QVariant(QByteArray("x")), nullptr), Error) << column;
    EXPECT_EQ(copy, before) << column;
  }
}
