#include "mdbfile.h"

#include "propblocks.h"

#include "../../error.h"
#include "../../values.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <array>

#include <cmath>
#include <cstring>
#include <mutex>
#include <utility>

extern "C" {
#include <mdbtools.h>
}

namespace dataaccess {

namespace {

// libmdb keeps process-wide state (options read once from the environment,
// shared backends); one lock keeps every use of it on one thread at a time.
std::mutex& libraryLock() {
  static std::mutex m;
  return m;
}

const QString kOpenSource = QStringLiteral("Connection.Open");
const QString kReadSource = QStringLiteral("Recordset.Open");

[[noreturn]] void fail(const QString& source, const QString& description) {
  throw Error(err::kProviderFailure, source, description);
}

// Frees a g_malloc'ed string from libmdb when it goes out of scope.
struct GString {
  char* s;
  explicit GString(char* p) : s(p) {}
  ~GString() { g_free(s); }
  GString(const GString&) = delete;
  GString& operator=(const GString&) = delete;
};

// Frees a table definition (and its columns) when it goes out of scope.
struct TableGuard {
  MdbTableDef* t;
  explicit TableGuard(MdbTableDef* p) : t(p) {}
  ~TableGuard() {
    if (t) mdb_free_tabledef(t);
  }
  TableGuard(const TableGuard&) = delete;
  TableGuard& operator=(const TableGuard&) = delete;
};

uint32_t le32(const unsigned char* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// Field type of a libmdb column type.
DataTypeEnum fieldTypeOf(int colType) {
  switch (colType) {
    case MDB_BOOL: return adBoolean;
    case MDB_BYTE: return adUnsignedTinyInt;
    case MDB_INT: return adSmallInt;
    case MDB_LONGINT: return adInteger;
    case MDB_COMPLEX: return adInteger;
    case MDB_MONEY: return adCurrency;
    case MDB_FLOAT: return adSingle;
    case MDB_DOUBLE: return adDouble;
    case MDB_DATETIME: return adDate;
    case MDB_BINARY: return adVarBinary;
    case MDB_TEXT: return adVarWChar;
    case MDB_OLE: return adLongVarBinary;
    case MDB_MEMO: return adLongVarWChar;
    case MDB_REPID: return adGUID;
    case MDB_NUMERIC: return adNumeric;
    default: return adVarBinary;
  }
}

// Days of the classic date origin that Jet accepts: years 100 to 9999.
constexpr double kMinOleDate = -657434.0;
constexpr double kMaxOleDate = 2958466.0;

}  // namespace

JetHeader checkJetHeader(const QString& path) {
  const QFileInfo fi(path);
  if (!fi.exists() || !fi.isFile()) fail(kOpenSource, QStringLiteral("Could not find file '%1'.").arg(path));
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    fail(kOpenSource, QStringLiteral("The file '%1' cannot be opened: %2.").arg(path, f.errorString()));
  const qint64 size = f.size();
  if (size == 0) fail(kOpenSource, QStringLiteral("The file '%1' is empty: it is not an Access database.").arg(path));
  const QByteArray head = f.read(0x20);
  static const char kJet[] = "Standard Jet DB";
  static const char kAce[] = "Standard ACE DB";
  if (head.size() < 0x20 || head[0] != 0 || head[1] != 1 || head[2] != 0 || head[3] != 0 ||
      (std::memcmp(head.constData() + 4, kJet, 16) != 0 && std::memcmp(head.constData() + 4, kAce, 16) != 0))
    fail(kOpenSource, QStringLiteral("Unrecognized database format '%1'.").arg(path));
  JetHeader h;
  h.version = uint8_t(head[0x14]);
  if (h.version > MDB_VER_ACCDB_2019)
    fail(kOpenSource, QStringLiteral("Unrecognized database format '%1' (version %2).").arg(path).arg(h.version));
  h.pageSize = h.version == MDB_VER_JET3 ? 2048 : 4096;
  // The catalogue lives on page 2; a database always fills whole pages.
  if (size % h.pageSize != 0 || size < 3 * qint64(h.pageSize))
    fail(kOpenSource, QStringLiteral("The database '%1' is damaged or cut short: its size (%2 bytes) is not a whole "
                                     "number of %3-byte pages.")
                          .arg(path).arg(size).arg(h.pageSize));
  h.pageCount = size / h.pageSize;
  // Page 2 must be the table definition of the system catalogue.
  f.seek(2 * qint64(h.pageSize));
  const QByteArray catalogue = f.read(2);
  if (catalogue.size() != 2 || catalogue[0] != MDB_PAGE_TABLE || catalogue[1] != 1)
    fail(kOpenSource, QStringLiteral("The database '%1' is damaged: its catalogue page is not valid.").arg(path));
  return h;
}

namespace {

// libmdb finds a table's data pages through its usage map; a map of no
// bytes (its row pointer names an empty row) makes it read through a null
// pointer, so rows are fetched only from tables that have one.
bool hasUsageMap(const MdbTableDef* t) { return t->usage_map && t->map_sz > 0; }

// Frees the properties libmdb parsed for a catalogue entry.
void freeProps(MdbCatalogEntry* e) {
  if (!e->props) return;
  for (unsigned j = 0; j < e->props->len; ++j) mdb_free_props(static_cast<MdbProperties*>(g_ptr_array_index(e->props, j)));
  g_ptr_array_free(e->props, TRUE);
  e->props = nullptr;
}

}  // namespace

struct MdbFile::Impl {
  QString path;
  qint64 fileSize = 0;
  MdbHandle* mdb = nullptr;

  // What the catalogue pass kept of each entry (by catalogue index): its
  // dates, its raw property value (tables only), and how much of that value
  // libmdb has parsed into the entry's properties.
  enum class Props : unsigned char { None, Own, All };
  struct EntryExtra {
    QDateTime created, modified;
    bool lvpropRead = false;  // tables' values are read when first needed
    std::string lvprop;
    Props parsed = Props::None;
  };
  std::vector<EntryExtra> extra;
  MdbCatalogEntry catalogueEntry{};  // the catalogue table's own, not in the catalogue

  MdbCatalogEntry* entryAt(unsigned i) const { return static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i)); }

  // Reads MSysObjects once into libmdb's catalogue, with the dates. False
  // when the catalogue table cannot be walked.
  bool readCatalogue();
  // The catalogue table's definition and columns, or null.
  MdbTableDef* openCatalogue();
  // Reads the property values of catalogue entry `only`, or of every table
  // when it is -1: long values on pages of their own, most of the
  // catalogue's reading, and only tables' are ever asked for.
  void readPropertyValues(int only);
  // Gives catalogue entry `i` its properties: the object's own (`Props::Own`)
  // or those of its columns too (`Props::All`).
  void parseProps(unsigned i, Props want);
  // Property `key` of catalogue entry `i` itself (not of a column), or null:
  // what the table definition would give, without reading it.
  const char* ownProp(unsigned i, const char* key) {
    parseProps(i, Props::Own);
    const MdbCatalogEntry* e = entryAt(i);
    for (unsigned j = 0; e->props && j < e->props->len; ++j) {
      const auto* p = static_cast<const MdbProperties*>(g_ptr_array_index(e->props, j));
      if (!p->name && p->hash) return static_cast<const char*>(g_hash_table_lookup(p->hash, key));
    }
    return nullptr;
  }

  [[noreturn]] void damaged(const QString& table, const QString& what) const {
    fail(kReadSource, QStringLiteral("The table '%1' of '%2' cannot be read: the database is damaged (%3).")
                          .arg(table, path, what));
  }

  unsigned indexOf(const QString& table) const {
    const QByteArray name = table.toUtf8();
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
      const MdbCatalogEntry* e = entryAt(i);
      if (e->object_type == MDB_TABLE && name.compare(e->object_name, Qt::CaseInsensitive) == 0) return i;
    }
    fail(kReadSource, QStringLiteral("The table '%1' does not exist in '%2'.").arg(table, path));
  }

  // The table's definition and columns, with their properties.
  MdbTableDef* openTable(const QString& table) {
    const unsigned i = indexOf(table);
    parseProps(i, Props::All);
    MdbTableDef* t = mdb_read_table(entryAt(i));
    if (!t) damaged(table, QStringLiteral("its definition cannot be read"));
    if (!hasUsageMap(t)) {
      mdb_free_tabledef(t);
      damaged(table, QStringLiteral("its page map is empty"));
    }
    if (!mdb_read_columns(t)) {
      mdb_free_tabledef(t);
      damaged(table, QStringLiteral("its columns cannot be read"));
    }
    return t;
  }

  Column describe(MdbColumn* col) const {
    Column c;
    FieldInfo& f = c.field;
    f.name = QString::fromUtf8(col->name);
    f.type = fieldTypeOf(col->col_type);
    switch (col->col_type) {
      case MDB_TEXT:
        // Jet 4 and later store text sizes in bytes of UCS-2.
        f.definedSize = mdb->f->jet_version == MDB_VER_JET3 ? col->col_size : col->col_size / 2;
        break;
      case MDB_BINARY: f.definedSize = col->col_size; break;
      case MDB_MEMO: case MDB_OLE: f.definedSize = 0; break;
      case MDB_NUMERIC:
        f.definedSize = 19;
        f.precision = col->col_prec;
        f.numericScale = col->col_scale;
        break;
      default: f.definedSize = fixedSizeOf(f.type); break;
    }
    f.nullable = !(col->is_long_auto || col->is_uuid_auto) && col->col_type != MDB_BOOL;
    if (const char* required = mdb_col_get_prop(col, "Required"))
      if (std::strcmp(required, "yes") == 0 || std::strcmp(required, "1") == 0 || std::strcmp(required, "True") == 0)
        f.nullable = false;
    if (const char* def = mdb_col_get_prop(col, "DefaultValue")) c.defaultValue = QString::fromUtf8(def);
    if (const char* desc = mdb_col_get_prop(col, "Description")) c.description = QString::fromUtf8(desc);
    return c;
  }

  // Every row of `table`; only the columns named in `only` (all when it is
  // empty), so that catalogue lookups skip the long values they do not need.
  std::shared_ptr<RowStore> read(const QString& table, const QStringList& only = {}) {
    TableGuard guard(openTable(table));
    return readRows(guard.t, table, only, DateOutOfRange::Fails);
  }
  // The same from the open table `t`. A date out of range fails the read,
  // or with `DateOutOfRange::IsNull` reads as Null.
  enum class DateOutOfRange { Fails, IsNull };
  std::shared_ptr<RowStore> readRows(MdbTableDef* t, const QString& table, const QStringList& only,
                                     DateOutOfRange badDate);
  // The OLE object or long binary value of `col` in the current row.
  std::string readLongValue(MdbColumn* col, const QString& table) const;
};

MdbTableDef* MdbFile::Impl::openCatalogue() {
  // The catalogue table is defined on page 2; libmdb reads it through a
  // catalogue entry of its own making, as its own catalogue reader does.
  // The table definition keeps a pointer to that entry.
  catalogueEntry = MdbCatalogEntry{};
  catalogueEntry.mdb = mdb;
  std::strcpy(catalogueEntry.object_name, "MSysObjects");
  catalogueEntry.object_type = MDB_TABLE;
  catalogueEntry.table_pg = 2;
  TableGuard guard(mdb_read_table(&catalogueEntry));
  if (!guard.t || !hasUsageMap(guard.t) || !mdb_read_columns(guard.t)) return nullptr;
  return std::exchange(guard.t, nullptr);
}

bool MdbFile::Impl::readCatalogue() {
  TableGuard guard(openCatalogue());
  if (!guard.t) return false;
  std::shared_ptr<RowStore> rows;
  try {
    rows = readRows(guard.t, QStringLiteral("MSysObjects"),
                    {QStringLiteral("Id"), QStringLiteral("Name"), QStringLiteral("Type"), QStringLiteral("Flags"),
                     QStringLiteral("DateCreate"), QStringLiteral("DateUpdate")},
                    DateOutOfRange::IsNull);
  } catch (const Error&) {
    return false;
  }
  const int id = rows->fieldIndex(QStringLiteral("Id")), name = rows->fieldIndex(QStringLiteral("Name")),
            type = rows->fieldIndex(QStringLiteral("Type")), flags = rows->fieldIndex(QStringLiteral("Flags")),
            created = rows->fieldIndex(QStringLiteral("DateCreate")),
            updated = rows->fieldIndex(QStringLiteral("DateUpdate"));
  if (id < 0 || name < 0 || type < 0 || flags < 0) return false;

  mdb_free_catalog(mdb);
  mdb->catalog = g_ptr_array_new();
  mdb->num_catalog = 0;
  extra.clear();
  extra.reserve(size_t(rows->rowCount()));
  for (int64_t r = 0; r < rows->rowCount(); ++r) {
    auto* e = static_cast<MdbCatalogEntry*>(g_malloc0(sizeof(MdbCatalogEntry)));
    e->mdb = mdb;
    std::snprintf(e->object_name, sizeof e->object_name, "%s", rows->value(r, name).toString().toUtf8().constData());
    e->object_type = rows->value(r, type).toInt() & 0x7F;
    e->table_pg = static_cast<uint32_t>(rows->value(r, id).toLongLong()) & 0x00FFFFFF;
    e->flags = rows->value(r, flags).toInt();
    g_ptr_array_add(mdb->catalog, e);
    ++mdb->num_catalog;
    EntryExtra x;
    if (created >= 0) x.created = rows->value(r, created).toDateTime();
    if (updated >= 0) x.modified = rows->value(r, updated).toDateTime();
    x.lvpropRead = e->object_type != MDB_TABLE;
    extra.push_back(std::move(x));
  }
  return true;
}

void MdbFile::Impl::readPropertyValues(int only) {
  TableGuard guard(openCatalogue());
  MdbColumn* lvprop = nullptr;
  for (unsigned c = 0; guard.t && c < guard.t->num_cols; ++c) {
    auto* col = static_cast<MdbColumn*>(g_ptr_array_index(guard.t->columns, c));
    if (col->col_type == MDB_OLE && std::strcmp(col->name, "LvProp") == 0) lvprop = col;
  }
  if (lvprop) {
    try {
      mdb_rewind_table(guard.t);
      // The rows come in the order the catalogue was built from.
      for (size_t r = 0; r < extra.size() && mdb_fetch_row(guard.t); ++r) {
        if (extra[r].lvpropRead || (only >= 0 && size_t(only) != r)) continue;
        if (lvprop->cur_value_len > 0) extra[r].lvprop = readLongValue(lvprop, QStringLiteral("MSysObjects"));
        extra[r].lvpropRead = true;
        if (only >= 0) break;
      }
    } catch (const Error&) {
      // Properties are a courtesy: a damaged value leaves the object without them.
    }
  }
  for (size_t r = 0; r < extra.size(); ++r)
    if (only < 0 || size_t(only) == r) extra[r].lvpropRead = true;
}

void MdbFile::Impl::parseProps(unsigned i, Props want) {
  EntryExtra& x = extra[i];
  if (x.parsed >= want) return;
  if (!x.lvpropRead) readPropertyValues(want == Props::Own ? -1 : int(i));
  MdbCatalogEntry* e = entryAt(i);
  freeProps(e);
  std::string blocks = jet::framedPropertyBlocks(x.lvprop, want == Props::Own);
  if (!blocks.empty()) e->props = mdb_kkd_to_props(mdb, blocks.data(), blocks.size());
  x.parsed = want;
  if (want == Props::All) std::string().swap(x.lvprop);  // parsed for good
}

MdbFile::MdbFile(const QString& path) : d_(std::make_unique<Impl>()) {
  header_ = checkJetHeader(path);
  d_->path = path;
  d_->fileSize = header_.pageCount * header_.pageSize;
  std::lock_guard lock(libraryLock());
  d_->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
  if (!d_->mdb) fail(kOpenSource, QStringLiteral("Unrecognized database format '%1'.").arg(path));
  if (!d_->readCatalogue()) {
    mdb_close(d_->mdb);
    d_->mdb = nullptr;
    fail(kOpenSource, QStringLiteral("The database '%1' is damaged: its catalogue cannot be read.").arg(path));
  }
  mdb_set_boolean_fmt_numbers(d_->mdb);
}

MdbFile::~MdbFile() {
  if (d_->mdb) {
    std::lock_guard lock(libraryLock());
    mdb_close(d_->mdb);
  }
}

QString MdbFile::versionText() const {
  switch (header_.version) {
    case MDB_VER_JET3: return QStringLiteral("03.50");
    case MDB_VER_JET4: return QStringLiteral("04.00");
    case MDB_VER_ACCDB_2007: return QStringLiteral("12.00");
    case MDB_VER_ACCDB_2010: return QStringLiteral("14.00");
    case MDB_VER_ACCDB_2013: return QStringLiteral("15.00");
    default: return QStringLiteral("16.00");
  }
}

std::vector<MdbFile::Object> MdbFile::objects() {
  std::lock_guard lock(libraryLock());
  std::vector<Object> result;
  for (unsigned i = 0; i < d_->mdb->num_catalog; ++i) {
    MdbCatalogEntry* e = d_->entryAt(i);
    Object o;
    o.name = QString::fromUtf8(e->object_name);
    o.flags = e->flags;
    if (o.name.isEmpty()) continue;
    switch (e->object_type) {
      case MDB_TABLE:
        o.kind = mdb_is_system_table(e) || o.name.startsWith(QLatin1String("MSys"), Qt::CaseInsensitive)
                     ? Object::Kind::SystemTable
                     : Object::Kind::Table;
        break;
      case MDB_QUERY: {
        // Select, crosstab and union queries return rows; action queries
        // (delete, update, append, make-table, DDL, pass-through) do not.
        const int queryType = e->flags & 0xF0;
        if (queryType != 0 && queryType != 0x10 && queryType != 0x80) continue;
        o.kind = Object::Kind::Query;
        break;
      }
      case MDB_LINKED_TABLE: o.kind = Object::Kind::Linked; break;
      default: continue;
    }
    if (e->object_type == MDB_TABLE || e->object_type == MDB_QUERY || e->object_type == MDB_LINKED_TABLE) {
      o.created = d_->extra[i].created;
      o.modified = d_->extra[i].modified;
    }
    if (o.kind == Object::Kind::Table) {
      if (const char* desc = d_->ownProp(i, "Description")) o.description = QString::fromUtf8(desc);
    }
    result.push_back(std::move(o));
  }
  return result;
}

std::vector<MdbFile::Column> MdbFile::columns(const QString& table) {
  std::lock_guard lock(libraryLock());
  TableGuard t(d_->openTable(table));
  std::vector<Column> result;
  for (unsigned i = 0; i < t.t->num_cols; ++i)
    result.push_back(d_->describe(static_cast<MdbColumn*>(g_ptr_array_index(t.t->columns, i))));
  return result;
}

std::shared_ptr<RowStore> MdbFile::readTable(const QString& table) {
  std::lock_guard lock(libraryLock());
  return d_->read(table);
}

std::vector<jet::QueryRow> MdbFile::queryRows(const QString& query) {
  std::lock_guard lock(libraryLock());
  // MSysObjects gives the query's id, MSysQueries the rows with that id.
  const std::shared_ptr<RowStore> objects = d_->read(QStringLiteral("MSysObjects"));
  const int idCol = objects->fieldIndex(QStringLiteral("Id")), nameCol = objects->fieldIndex(QStringLiteral("Name")),
            typeCol = objects->fieldIndex(QStringLiteral("Type"));
  if (idCol < 0 || nameCol < 0 || typeCol < 0)
    fail(kReadSource, QStringLiteral("The saved query '%1' cannot be read: the catalogue of '%2' lacks its columns.").arg(query, d_->path));
  QVariant id;
  for (int64_t r = 0; r < objects->rowCount() && !id.isValid(); ++r)
    if (objects->value(r, typeCol).toInt() == 5 && objects->value(r, nameCol).toString().compare(query, Qt::CaseInsensitive) == 0)
      id = objects->value(r, idCol);
  if (!id.isValid()) fail(kReadSource, QStringLiteral("The saved query '%1' does not exist in '%2'.").arg(query, d_->path));

  const std::shared_ptr<RowStore> defs = d_->read(QStringLiteral("MSysQueries"));
  const auto col = [&](const char* name) {
    const int c = defs->fieldIndex(QLatin1String(name));
    if (c < 0) fail(kReadSource, QStringLiteral("The saved query '%1' cannot be read: MSysQueries has no column %2.").arg(query, QLatin1String(name)));
    return c;
  };
  const int objectCol = col("ObjectId"), attributeCol = col("Attribute"), flagCol = col("Flag"), name1Col = col("Name1"),
            name2Col = col("Name2"), expressionCol = col("Expression"), orderCol = col("Order");
  std::vector<jet::QueryRow> rows;
  for (int64_t r = 0; r < defs->rowCount(); ++r) {
    if (defs->value(r, objectCol) != id) continue;
    jet::QueryRow q;
    q.attribute = defs->value(r, attributeCol).toInt();
    q.flag = defs->value(r, flagCol).toInt();
    q.name1 = defs->value(r, name1Col).toString();
    q.name2 = defs->value(r, name2Col).toString();
    q.expression = defs->value(r, expressionCol).toString();
    q.order = defs->value(r, orderCol).toByteArray();
    rows.push_back(std::move(q));
  }
  return rows;
}

std::string MdbFile::Impl::readLongValue(MdbColumn* col, const QString& table) const {
  const int len = col->cur_value_len, start = col->cur_value_start;
  const int pageSize = int(mdb->fmt->pg_size);
  if (len < MDB_MEMO_OVERHEAD || start < 0 || start + len > pageSize)
    damaged(table, QStringLiteral("an OLE object lies outside its page"));
  const unsigned char* p = mdb->pg_buf + start;
  const uint32_t head = le32(p);
  const uint32_t oleLen = head & 0x3fffffff;
  if (oleLen > uint64_t(fileSize) || ((head & 0x80000000u) && oleLen > uint32_t(len - MDB_MEMO_OVERHEAD)))
    damaged(table, QStringLiteral("an OLE object length is wrong"));
  // The library copies each chunk into the column's bound buffer.
  std::vector<unsigned char> lval(p, p + len);
  const std::unique_ptr<char[]> chunk(new char[MDB_BIND_SIZE]);  // filled by the library, not cleared first
  std::string data;
  data.reserve(oleLen);
  col->bind_ptr = chunk.get();
  size_t n = mdb_ole_read(mdb, col, lval.data(), MDB_BIND_SIZE);
  while (n > 0 && data.size() + n <= oleLen) {
    data.append(chunk.get(), n);
    n = mdb_ole_read_next(mdb, col, lval.data());
  }
  col->bind_ptr = nullptr;
  return data;
}

std::shared_ptr<RowStore> MdbFile::Impl::readRows(MdbTableDef* t, const QString& table, const QStringList& only,
                                                  DateOutOfRange badDate) {
  const unsigned ncols = t->num_cols;
  std::vector<MdbColumn*> cols(ncols);
  std::vector<unsigned> kept;  // the table's column numbers that are read, in order
  std::vector<FieldInfo> fields;
  for (unsigned i = 0; i < ncols; ++i) {
    cols[i] = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
    if (!only.isEmpty() && !only.contains(QString::fromUtf8(cols[i]->name), Qt::CaseInsensitive)) continue;
    kept.push_back(i);
    fields.push_back(describe(cols[i]).field);
  }
  auto rows = std::make_shared<RowStore>(std::move(fields));
  rows->baseTable = table;

  // Yes/No values live in the row's null mask; the library reports them
  // only through a bound buffer ("1"/"0", set at open).
  std::vector<std::array<char, 8>> boolText(ncols);
  for (unsigned i = 0; i < ncols; ++i)
    if (cols[i]->col_type == MDB_BOOL) mdb_bind_column(t, int(i + 1), boolText[i].data(), nullptr);

  const int pageSize = int(mdb->fmt->pg_size);
  // A page holds at most pageSize / 2 row offsets; more rows than that
  // means the page chain loops.
  const int64_t maxRows = (fileSize / pageSize) * (pageSize / 2);
  mdb_rewind_table(t);
  while (mdb_fetch_row(t)) {
    if (rows->rowCount() >= maxRows) damaged(table, QStringLiteral("its pages loop"));
    for (size_t k = 0; k < kept.size(); ++k) {
      const unsigned i = kept[k];
      MdbColumn* col = cols[i];
      ColumnStore& out = rows->column(int(k));
      if (col->col_type == MDB_BOOL) {
        out.appendBoolean(boolText[i][0] == '1');
        continue;
      }
      const int len = col->cur_value_len;
      const int start = col->cur_value_start;
      if (len <= 0) {
        out.appendNull();
        continue;
      }
      if (start < 0 || start + len > pageSize) damaged(table, QStringLiteral("a value lies outside its page"));
      const unsigned char* p = mdb->pg_buf + start;
      const auto need = [&](int n) {
        if (len < n) damaged(table, QStringLiteral("a value of column '%1' is too short").arg(QString::fromUtf8(col->name)));
      };
      switch (col->col_type) {
        case MDB_BYTE: out.appendInteger(p[0]); break;
        case MDB_INT: need(2); out.appendInteger(int16_t(uint16_t(p[0] | p[1] << 8))); break;
        case MDB_LONGINT: case MDB_COMPLEX: need(4); out.appendInteger(int32_t(le32(p))); break;
        case MDB_MONEY: {
          need(8);
          int64_t v;
          std::memcpy(&v, p, 8);
          out.appendReal(double(v) / 10000.0);
          break;
        }
        case MDB_FLOAT: {
          need(4);
          float v;
          std::memcpy(&v, p, 4);
          out.appendReal(double(v));
          break;
        }
        case MDB_DOUBLE: {
          need(8);
          double v;
          std::memcpy(&v, p, 8);
          out.appendReal(v);
          break;
        }
        case MDB_DATETIME: {
          need(8);
          double days;
          std::memcpy(&days, p, 8);
          if (!std::isfinite(days) || days < kMinOleDate || days >= kMaxOleDate) {
            if (badDate == DateOutOfRange::IsNull) {
              out.appendNull();
              break;
            }
            damaged(table, QStringLiteral("a date is out of range"));
          }
          out.appendOleMsecs(oleMsecsFromDays(days));
          break;
        }
        case MDB_TEXT: {
          GString s(mdb_col_to_string(mdb, mdb->pg_buf, start, MDB_TEXT, len));
          out.appendText(QString::fromUtf8(s.s));
          break;
        }
        case MDB_MEMO: {
          need(MDB_MEMO_OVERHEAD);
          const uint32_t head = le32(p);
          const uint32_t memoLen = head & 0x3fffffff;
          if (memoLen > uint64_t(fileSize) || ((head & 0x80000000u) && memoLen > uint32_t(len - MDB_MEMO_OVERHEAD)))
            damaged(table, QStringLiteral("a memo length is wrong"));
          GString s(mdb_col_to_string(mdb, mdb->pg_buf, start, MDB_MEMO, len));
          if (s.s && *s.s) out.appendText(QString::fromUtf8(s.s));
          else out.appendNull();
          break;
        }
        case MDB_OLE:
          need(MDB_MEMO_OVERHEAD);
          out.appendBytes(readLongValue(col, table));
          break;
        case MDB_REPID: {
          need(16);
          GString s(mdb_uuid_to_string(mdb->pg_buf, start));
          out.appendText(QString::fromLatin1(s.s));
          break;
        }
        case MDB_NUMERIC: {
          need(17);
          GString s(mdb_numeric_to_string(mdb, start, col->col_scale, col->col_prec));
          out.appendText(QString::fromLatin1(s.s));
          break;
        }
        default: out.appendBytes(std::string_view(reinterpret_cast<const char*>(p), size_t(len))); break;
      }
    }
    rows->commitRow();
  }
  for (unsigned i = 0; i < ncols; ++i)
    if (cols[i]->col_type == MDB_BOOL) cols[i]->bind_ptr = nullptr;
  return rows;
}

}  // namespace dataaccess
