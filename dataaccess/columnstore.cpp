#include "columnstore.h"

#include "values.h"

#include <algorithm>
#include <sys/mman.h>

namespace dataaccess {

ColumnStore::ColumnStore(DataTypeEnum type) : type_(type), storage_(storageFor(type)) {}

ColumnStore ColumnStore::viewOf(const ColumnStore& base, std::shared_ptr<const std::vector<uint32_t>> rows) {
  ColumnStore view(base.type_);
  if (base.base_ && !base.replaced_.empty()) {
    // The view's own replacements cannot be composed: copy the values.
    view.reserve(int64_t(rows->size()));
    for (uint32_t r : *rows) view.appendValue(base.value(r));
    return view;
  }
  if (base.base_) {
    // Rows of a view of a view: compose the two lists.
    auto composed = std::make_shared<std::vector<uint32_t>>();
    composed->reserve(rows->size());
    for (uint32_t r : *rows) composed->push_back(base.map_[r]);
    view.base_ = base.base_;
    rows = std::move(composed);
  } else {
    view.base_ = &base;
  }
  view.rows_ = std::move(rows);
  view.map_ = view.rows_->data();
  view.size_ = int64_t(view.rows_->size());
  return view;
}

ColumnStore::Storage ColumnStore::storageFor(DataTypeEnum type) {
  switch (type) {
    case adSmallInt: case adInteger: case adTinyInt: case adUnsignedTinyInt:
    case adUnsignedSmallInt: case adUnsignedInt: case adBigInt: case adUnsignedBigInt:
      return Storage::Integer;
    case adSingle: case adDouble: case adCurrency:
      return Storage::Real;
    case adBoolean:
      return Storage::Boolean;
    case adDate: case adDBDate: case adDBTime: case adDBTimeStamp: case adFileTime:
      return Storage::DateTime;
    case adBinary: case adVarBinary: case adLongVarBinary:
      return Storage::Bytes;
    default:
      return Storage::Text;
  }
}

namespace {

// Asks for large pages under a large reserved array, so that filling it
// takes one fault per 2 MB instead of one per 4 KB.
void preferLargePages(const void* data, size_t bytes) {
  constexpr uintptr_t kLarge = uintptr_t(2) << 20;
  if (bytes < 2 * kLarge) return;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kLarge - 1) & ~(kLarge - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kLarge - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace

void ColumnStore::reserve(int64_t rows, int64_t bytes) {
  materialize();
  switch (storage_) {
    case Storage::Integer: case Storage::DateTime:
      ints_.reserve(size_t(rows));
      preferLargePages(ints_.data(), ints_.capacity() * sizeof(int64_t));
      break;
    case Storage::Real:
      reals_.reserve(size_t(rows));
      preferLargePages(reals_.data(), reals_.capacity() * sizeof(double));
      break;
    case Storage::Boolean: bools_.reserve(size_t(rows)); break;
    case Storage::Text: case Storage::Bytes:
      ends_.reserve(size_t(rows));
      preferLargePages(ends_.data(), ends_.capacity() * sizeof(uint64_t));
      if (bytes > 0) {
        arena_.reserve(size_t(bytes));
        preferLargePages(arena_.data(), arena_.capacity());
      }
      break;
  }
}

void ColumnStore::shrinkToFit() {
  ints_.shrink_to_fit();
  reals_.shrink_to_fit();
  bools_.shrink_to_fit();
  arena_.shrink_to_fit();
  ends_.shrink_to_fit();
  nullBits_.shrink_to_fit();
}

void ColumnStore::markNull() {
  const size_t words = size_t(size_ / 64 + 1);
  if (nullBits_.size() < words) nullBits_.resize(words + words / 2 + 1, 0);
  nullBits_[size_t(size_ / 64)] |= uint64_t(1) << (size_ % 64);
}

void ColumnStore::appendNull() {
  materialize();
  markNull();
  switch (storage_) {
    case Storage::Integer: case Storage::DateTime: ints_.push_back(0); break;
    case Storage::Real: reals_.push_back(0); break;
    case Storage::Boolean: bools_.push_back(0); break;
    case Storage::Text: case Storage::Bytes: ends_.push_back(arena_.size()); break;
  }
  ++size_;
}

void ColumnStore::appendInteger(int64_t v) {
  if (base_) materialize();
  ints_.push_back(v);
  ++size_;
}

void ColumnStore::appendReal(double v) {
  if (base_) materialize();
  reals_.push_back(v);
  ++size_;
}

void ColumnStore::appendBoolean(bool v) {
  if (base_) materialize();
  bools_.push_back(v ? 1 : 0);
  ++size_;
}

void ColumnStore::appendOleMsecs(int64_t ms) {
  if (base_) materialize();
  ints_.push_back(ms);
  ++size_;
}

void ColumnStore::appendBytes(std::string_view bytes) {
  if (base_) materialize();
  arena_.append(bytes.data(), bytes.size());
  ends_.push_back(arena_.size());
  ++size_;
}

void ColumnStore::appendText(QStringView text) {
  // ASCII text (the usual case) is narrowed straight into the arena, in
  // pieces through a small buffer; other text goes through the UTF-8 encoder.
  if (base_) materialize();
  const char16_t* p = text.utf16();
  const qsizetype n = text.size();
  char16_t high = 0;
  for (qsizetype k = 0; k < n; ++k) high |= p[k];
  if (high >= 0x80) {
    const QByteArray utf8 = text.toUtf8();
    appendBytes(std::string_view(utf8.constData(), size_t(utf8.size())));
    return;
  }
  char buf[256];
  for (qsizetype k = 0; k < n;) {
    const qsizetype m = std::min<qsizetype>(n - k, qsizetype(sizeof buf));
    for (qsizetype j = 0; j < m; ++j) buf[j] = char(p[k + j]);
    arena_.append(buf, size_t(m));
    k += m;
  }
  ends_.push_back(arena_.size());
  ++size_;
}

void ColumnStore::appendValue(const QVariant& v) {
  if (!v.isValid()) {
    appendNull();
    return;
  }
  switch (storage_) {
    case Storage::Integer: appendInteger(v.toLongLong()); break;
    case Storage::Real: appendReal(v.toDouble()); break;
    case Storage::Boolean: appendBoolean(v.toBool()); break;
    case Storage::DateTime:
      if (v.typeId() == QMetaType::QDate)
        appendOleMsecs(toOleMsecs(v.toDate()));
      else if (v.typeId() == QMetaType::QTime)
        appendOleMsecs(toOleMsecs(v.toTime()));
      else
        appendOleMsecs(toOleMsecs(v.toDateTime()));
      break;
    case Storage::Text: appendText(v.toString()); break;
    case Storage::Bytes: {
      const QByteArray b = v.toByteArray();
      appendBytes(std::string_view(b.constData(), size_t(b.size())));
      break;
    }
  }
}

void ColumnStore::appendStoredRow(const ColumnStore& from, int64_t row) {
  if (from.isNull(row)) {
    appendNull();
    return;
  }
  switch (storage_) {
    case Storage::Integer: appendInteger(from.integerAt(row)); break;
    case Storage::Real: appendReal(from.realAt(row)); break;
    case Storage::Boolean: appendBoolean(from.booleanAt(row)); break;
    case Storage::DateTime: appendOleMsecs(from.oleMsecsAt(row)); break;
    case Storage::Text: case Storage::Bytes: appendBytes(from.bytesAt(row)); break;
  }
}

void ColumnStore::materialize() {
  if (!base_) return;
  const ColumnStore* base = base_;
  const auto rows = std::move(rows_);
  base_ = nullptr;
  map_ = nullptr;
  size_ = 0;
  const bool replacedBase = base->hasReplacements();
  for (uint32_t r : *rows) {
    if (replacedBase) appendValue(base->value(r));
    else appendStoredRow(*base, r);
  }
}

bool ColumnStore::replacedIsNull(int64_t row) const {
  auto it = replaced_.find(row);
  if (it != replaced_.end()) return !it->second.isValid();
  if (base_) return base_->isNull(map_[row]);
  const size_t word = size_t(row / 64);
  return word < nullBits_.size() && (nullBits_[word] >> (row % 64)) & 1;
}

QVariant ColumnStore::value(int64_t row) const {
  if (row < 0 || row >= size_) return {};
  if (!replaced_.empty()) {
    auto it = replaced_.find(row);
    if (it != replaced_.end()) return it->second;
  }
  if (base_) return base_->value(map_[row]);
  if (isNull(row)) return {};
  switch (storage_) {
    case Storage::Integer: return QVariant(qlonglong(ints_[size_t(row)]));
    case Storage::Real: return QVariant(reals_[size_t(row)]);
    case Storage::Boolean: return QVariant(bools_[size_t(row)] != 0);
    case Storage::DateTime: {
      const QDateTime dt = fromOleMsecs(ints_[size_t(row)]);
      if (type_ == adDBDate) return dt.date();
      if (type_ == adDBTime) return dt.time();
      return dt;
    }
    case Storage::Text: {
      const std::string_view b = bytesAt(row);
      return QString::fromUtf8(b.data(), qsizetype(b.size()));
    }
    case Storage::Bytes: {
      const std::string_view b = bytesAt(row);
      return QByteArray(b.data(), qsizetype(b.size()));
    }
  }
  return {};
}

void ColumnStore::set(int64_t row, const QVariant& canonical) { replaced_[row] = canonical; }

size_t ColumnStore::memoryUsage() const {
  return ints_.capacity() * 8 + reals_.capacity() * 8 + bools_.capacity() + arena_.capacity() +
         ends_.capacity() * 8 + nullBits_.capacity() * 8 + replaced_.size() * 64;
}

}  // namespace dataaccess
