#include "damages.h"

#include <QRandomGenerator>
#include <QRegularExpression>

#include <tuple>

namespace damaged {

namespace {

using Apply = std::function<QString(QByteArray&, const Layout&)>;
using Where = std::function<qsizetype(const QByteArray&, const Layout&)>;

int le16(const QByteArray& b, qsizetype at) {
  return at >= 0 && at + 2 <= b.size() ? uchar(b[at]) | uchar(b[at + 1]) << 8 : -1;
}

Apply cutAt(const Where& where) {
  return [where](QByteArray& b, const Layout& l) -> QString {
    const qsizetype at = where(b, l);
    if (at < 0 || at >= b.size()) return {};
    const qsizetype was = b.size();
    b.truncate(at);
    return QStringLiteral("cut to %1 of %2 bytes").arg(at).arg(was);
  };
}

Apply flipAt(const Where& where, uchar mask = 0xFF) {
  return [where, mask](QByteArray& b, const Layout& l) -> QString {
    const qsizetype at = where(b, l);
    if (at < 0 || at >= b.size()) return {};
    b[at] = char(b[at] ^ mask);
    return QStringLiteral("flipped bits %1 of byte %2 of %3").arg(mask, 2, 16, QLatin1Char('0')).arg(at).arg(b.size());
  };
}

Apply flipRandom(quint32 seed) {
  return [seed](QByteArray& b, const Layout&) -> QString {
    if (b.isEmpty()) return {};
    QRandomGenerator g(seed);
    const qsizetype at = qsizetype(g.bounded(quint32(b.size())));
    b[at] = char(b[at] ^ 0xFF);
    return QStringLiteral("flipped byte %1 of %2 (seed %3)").arg(at).arg(b.size()).arg(seed);
  };
}

// Zeroes `length` bytes at the first place from `start` on (in steps of
// `length`, wrapping to the file's start) that holds a non-zero byte.
QString zeroFrom(QByteArray& b, qsizetype start, qsizetype length) {
  if (length <= 0 || b.isEmpty()) return {};
  length = std::min(length, b.size());
  for (qsizetype tried = 0; tried < b.size(); tried += length) {
    qsizetype at = (start + tried) % b.size();
    at = std::min(at, b.size() - length);
    bool nonZero = false;
    for (qsizetype i = at; i < at + length && !nonZero; ++i) nonZero = b[i] != 0;
    if (!nonZero) continue;
    b.replace(at, length, QByteArray(length, '\0'));
    return QStringLiteral("zeroed %1 bytes at %2 of %3").arg(length).arg(at).arg(b.size());
  }
  return {};
}

// A named change of the format's own fields; fails when it changed nothing.
Apply patch(const QString& what, const std::function<void(QByteArray&)>& change) {
  return [what, change](QByteArray& b, const Layout&) -> QString {
    const QByteArray before = b;
    change(b);
    return b == before ? QString() : what;
  };
}

void put16(QByteArray& b, qsizetype at, int v) {
  if (at < 0 || b.size() < at + 2) return;
  b[at] = char(v & 0xFF);
  b[at + 1] = char((v >> 8) & 0xFF);
}

void put32(QByteArray& b, qsizetype at, uint32_t v) {
  if (at < 0 || b.size() < at + 4) return;
  for (int i = 0; i < 4; ++i) b[at + i] = char((v >> (8 * i)) & 0xFF);
}

void randomise(QByteArray& b, qsizetype from, qsizetype to, quint32 seed) {
  QRandomGenerator g(seed);
  for (qsizetype i = from; i < std::min(to, b.size()); ++i) b[i] = char(g.generate() & 0xFF);
}

// Points the first memo field of the first record of a .dbf at `block`.
void setFirstMemoPointer(QByteArray& b, uint32_t block) {
  const int header = le16(b, 8);
  int offset = 1;
  for (int d = 32; d + 32 <= header && d + 32 <= b.size() && b[d] != '\x0D'; d += 32) {
    const int width = uchar(b[d + 16]);
    if (b[d + 11] == 'M') {
      const qsizetype at = header + offset;
      if (at + width > b.size()) return;
      if (width == 4)
        put32(b, at, block);
      else
        b.replace(at, width, QByteArray::number(block).rightJustified(width, ' ').right(width));
      return;
    }
    offset += width;
  }
}

Damage toMain(std::string name, Apply apply) { return {std::move(name), false, false, std::move(apply), {}}; }
Damage toCompanion(std::string name, Apply apply) { return {std::move(name), true, false, std::move(apply), {}}; }

void addXBase(std::vector<Damage>& out, bool hasMemo) {
  out.push_back(
      toMain("claims_more_records", patch("record count 1000000", [](QByteArray& b) { put32(b, 4, 1000000); })));
  out.push_back(
      toMain("claims_4G_records", patch("record count 0xFFFFFFFF", [](QByteArray& b) { put32(b, 4, 0xFFFFFFFFu); })));
  out.push_back(
      toMain("longer_record", patch("record length + 40", [](QByteArray& b) { put16(b, 10, le16(b, 10) + 40); })));
  out.push_back(toMain("header_past_end", patch("header length 0xFFFF", [](QByteArray& b) { put16(b, 8, 0xFFFF); })));
  out.push_back(toMain("header_length_zero", patch("header length 0", [](QByteArray& b) { put16(b, 8, 0); })));
  out.push_back(toMain("record_length_zero", patch("record length 0", [](QByteArray& b) { put16(b, 10, 0); })));
  out.push_back(toMain("field_wider_than_record", patch("first field width 255", [](QByteArray& b) {
                         if (b.size() > 48) b[48] = char(0xFF);
                       })));
  out.push_back(toMain("cut_in_field_list", cutAt([](const QByteArray&, const Layout&) { return qsizetype(50); })));
  out.push_back(toMain("no_field_terminator", patch("field list terminator overwritten", [](QByteArray& b) {
                         for (int i = 32; i < le16(b, 8) && i < b.size(); ++i)
                           if (b[i] == '\x0D') b[i] = 'X';
                       })));
  out.push_back(
      toMain("random_header_fields", patch("bytes 4-31 random", [](QByteArray& b) { randomise(b, 4, 32, 7); })));
  out.push_back(toMain("flipped_field_list", patch("every 7th byte of the field list flipped", [](QByteArray& b) {
                         for (int i = 32; i < std::min<qsizetype>(b.size(), le16(b, 8)); i += 7)
                           b[i] = char(b[i] ^ 0xFF);
                       })));
  out.push_back(toMain("flipped_records", patch("every 5th record byte flipped", [](QByteArray& b) {
                         for (qsizetype i = std::max(le16(b, 8), 0); i < b.size(); i += 5) b[i] = char(b[i] ^ 0xA5);
                       })));
  out.push_back(toMain("all_random", patch("every byte random", [](QByteArray& b) { randomise(b, 0, b.size(), 42); })));
  if (!hasMemo) return;
  out.push_back(toMain("memo_pointer_past_end",
                       patch("first memo pointer 999999", [](QByteArray& b) { setFirstMemoPointer(b, 999999); })));
  out.push_back(toMain("memo_pointer_huge", patch("first memo pointer 0x7FFFFFFF",
                                                  [](QByteArray& b) { setFirstMemoPointer(b, 0x7FFFFFFF); })));
  out.push_back(toCompanion("memo_empty", patch("memo file emptied", [](QByteArray& b) { b.clear(); })));
  out.push_back(toCompanion("memo_block_lengths_huge", patch("block lengths 0x7FFF....", [](QByteArray& b) {
                              for (qsizetype i = 512; i + 8 <= b.size(); i += 64)
                                b[i + 4] = char(0x7F), b[i + 5] = char(0xFF);
                            })));
  out.push_back(toCompanion("memo_header_random",
                            patch("first 512 bytes random", [](QByteArray& b) { randomise(b, 0, 512, 3); })));
}

void addParadox(std::vector<Damage>& out, bool hasBlob) {
  auto headerSize = [](const QByteArray& b) { return qsizetype(le16(b, 2)); };
  out.push_back(toMain("wrong_block_size", patch("block size 7 KB", [](QByteArray& b) {
                         if (b.size() > 5) b[5] = 7;
                       })));
  out.push_back(toMain("huge_block_size", patch("block size 255 KB", [](QByteArray& b) {
                         if (b.size() > 5) b[5] = char(0xFF);
                       })));
  out.push_back(toMain("claims_more_records", patch("record count 0x0FFFFF", [](QByteArray& b) {
                         if (b.size() > 8) b[6] = char(0xFF), b[7] = char(0xFF), b[8] = 0x0F;
                       })));
  out.push_back(toMain("record_size_zero", patch("record size 0", [](QByteArray& b) { put16(b, 0, 0); })));
  out.push_back(toMain("record_size_wrong", patch("record size 3", [](QByteArray& b) { put16(b, 0, 3); })));
  out.push_back(toMain("header_past_end", patch("header size 0xF800", [](QByteArray& b) { put16(b, 2, 0xF800); })));
  out.push_back(toMain("no_fields", patch("field count 0", [](QByteArray& b) { put16(b, 0x21, 0); })));
  out.push_back(toMain("first_block_past_end", patch("first block 999", [](QByteArray& b) { put16(b, 0x0E, 999); })));
  out.push_back(toMain("block_chain_loops", patch("block 1 names itself as next",
                                                  [headerSize](QByteArray& b) { put16(b, headerSize(b), 1); })));
  out.push_back(toMain("block_claims_too_many", patch("block 1 last-record offset 0x7FFF", [headerSize](QByteArray& b) {
                         put16(b, headerSize(b) + 4, 0x7FFF);
                       })));
  out.push_back(toMain("unknown_field_type", patch("first field type 0x42", [](QByteArray& b) {
                         if (b.size() > 0x78) b[0x78] = 0x42;
                       })));
  out.push_back(toMain("random_header_fields",
                       patch("bytes 0x06-0x77 random", [](QByteArray& b) { randomise(b, 0x06, 0x78, 5); })));
  out.push_back(toMain("flipped_records", patch("every 3rd byte after 2054 flipped", [](QByteArray& b) {
                         for (qsizetype i = 2048 + 6; i < b.size(); i += 3) b[i] = char(b[i] ^ 0x5A);
                       })));
  out.push_back(toMain("all_random", patch("every byte random", [](QByteArray& b) { randomise(b, 0, b.size(), 11); })));
  if (hasBlob)
    out.push_back(toCompanion("blob_all_random",
                              patch("every byte random", [](QByteArray& b) { randomise(b, 0, b.size(), 9); })));
}

void addJet(std::vector<Damage>& out) {
  // Header fields, the catalogue's table definition on page 2, and its
  // usage map, columns and names further in.
  const std::pair<const char*, qsizetype> kPlaces[] = {
      {"version", 0x14},           {"header_0x3C", 0x3C},  {"catalogue_type", 2},
      {"catalogue_next", 8},       {"catalogue_rows", 12}, {"catalogue_45", 45},
      {"catalogue_usage_map", 55}, {"catalogue_63", 63},   {"catalogue_100", 100}};
  for (const auto& [name, offset] : kPlaces) {
    const bool onPage2 = QByteArray(name).startsWith("catalogue");
    out.push_back(
        toMain(std::string("flip_") + name, flipAt([onPage2, offset = offset](const QByteArray&, const Layout& l) {
                 return onPage2 ? 2 * l.unit + offset : offset;
               })));
  }
  out.push_back(toMain("flip_catalogue_high_bit",
                       flipAt([](const QByteArray&, const Layout& l) { return 2 * l.unit + 45; }, 0x80)));
  for (quint32 seed : {101u, 102u, 103u, 104u, 105u})
    out.push_back(toMain("flip_random_" + std::to_string(seed), flipRandom(seed)));
}

// Overwrites `value` at `offset` into the data of the first record with
// the given id and length (found by its four header bytes).
std::function<void(QByteArray&)> recordField(uint16_t id, uint16_t length, int offset, const QByteArray& value) {
  return [=](QByteArray& b) {
    const char head[4] = {char(id & 0xFF), char(id >> 8), char(length & 0xFF), char(length >> 8)};
    const qsizetype at = b.indexOf(QByteArray(head, 4));
    if (at >= 0 && at + 4 + offset + value.size() <= b.size()) b.replace(at + 4 + offset, value.size(), value);
  };
}

void addExcel(std::vector<Damage>& out, bool compound) {
  if (compound) {
    // Compound-document header fields, the first directory and FAT sectors.
    for (qsizetype at : {0, 30, 44, 48, 60, 68, 76, 512, 520, 600})
      out.push_back(toMain("flip_" + std::to_string(at), flipAt([at](const QByteArray&, const Layout&) { return at; })));
    // Records of the workbook stream claiming far more than they hold.
    out.push_back(toMain("dimensions_huge", patch("DIMENSIONS of 2^31 rows and 65535 columns",
                                                  recordField(0x0200, 14, 4, QByteArray("\xFF\xFF\xFF\x7F\0\0\xFF\xFF", 8)))));
    out.push_back(toMain("sheet_offset_huge", patch("BOUNDSHEET at offset 0x7FFFFFFF", [](QByteArray& b) {
                           const qsizetype at = b.indexOf(QByteArray("\x85\x00", 2));
                           if (at >= 0 && at + 8 <= b.size()) b.replace(at + 4, 4, QByteArray("\xFF\xFF\xFF\x7F", 4));
                         })));
  } else {
    for (qsizetype at : {0, 2, 4, 8})
      out.push_back(toMain("flip_" + std::to_string(at), flipAt([at](const QByteArray&, const Layout&) { return at; })));
    out.push_back(toMain("flip_second_record_length",
                         flipAt([](const QByteArray&, const Layout& l) { return l.header + 2; })));
    out.push_back(toMain("dimensions_huge", patch("DIMENSIONS of 65535 rows and columns",
                                                  recordField(0x0200, 10, 2, QByteArray("\xFF\xFF\0\0\xFF\xFF", 6)))));
    out.push_back(toMain("label_longer_than_record", patch("LABEL text length 0xFFFF", [](QByteArray& b) {
                           const qsizetype at = b.indexOf(QByteArray("\x04\x02", 2));
                           if (at >= 0 && at + 12 <= b.size()) b[at + 10] = char(0xFF), b[at + 11] = char(0xFF);
                         })));
  }
  for (quint32 seed : {201u, 202u, 203u, 204u})
    out.push_back(toMain("flip_random_" + std::to_string(seed), flipRandom(seed)));
}

// Replaces the first match of `pattern` in the bytes with `with`.
std::function<void(QByteArray&)> replaceFirst(const char* pattern, const char* with) {
  return [pattern, with](QByteArray& b) {
    const QRegularExpressionMatch m = QRegularExpression(QString::fromLatin1(pattern)).match(QString::fromLatin1(b));
    if (m.hasMatch()) b.replace(m.capturedStart(), m.capturedLength(), QByteArray(with));
  };
}

void addText(std::vector<Damage>& out) {
  out.push_back(toMain("unclosed_quote", patch("a quote opened at the second line and never closed", [](QByteArray& b) {
                         const qsizetype at = b.indexOf('\n');
                         if (at >= 0) b.insert(at + 1, '"');
                       })));
  out.push_back(toMain("line_of_a_megabyte", patch("a line of 1 MB inserted", [](QByteArray& b) {
                         const qsizetype at = b.indexOf('\n');
                         if (at >= 0) b.insert(at + 1, QByteArray(1 << 20, 'x') + "\r\n");
                       })));
  // The last field: a SCHEMA.INI value that cannot be honoured must be
  // reported, not read past; the others may read.
  const std::tuple<const char*, std::function<void(QByteArray&)>, bool> kSchema[] = {
      {"schema_width_huge", replaceFirst("Width 20", "Width 2147483647"), false},
      {"schema_column_number_huge", replaceFirst("Col2=", "Col2147483647="), true},
      {"schema_column_number_negative", replaceFirst("Col3=", "Col-3="), true},
      {"schema_type_unknown", replaceFirst("Long", "Gizmo"), false},
      {"schema_character_set_unknown", replaceFirst("CharacterSet=ANSI", "CharacterSet=NO-SUCH-SET"), true},
      {"schema_delimiter_empty", replaceFirst("Format=CSVDelimited", "Format=Delimited()"), true},
      {"schema_delimiter_quote", replaceFirst("Format=TabDelimited", "Format=Delimited(\")"), true},
      {"schema_section_unclosed", replaceFirst("\\[tabbed.txt\\]", "[tabbed.txt"), false},
  };
  for (const auto& [name, change, reported] : kSchema) {
    Damage d = toCompanion(name, patch(QString::fromLatin1(name), change));
    if (reported) d.mustFail = [](const Layout&, qsizetype) { return true; };
    out.push_back(std::move(d));
  }
}

void addPersist(std::vector<Damage>& out) {
  auto mustFail = [](Damage d) {
    d.mustFail = [](const Layout&, qsizetype) { return true; };
    return d;
  };
  // A document type with entities is refused outright, never expanded.
  out.push_back(mustFail(toMain("dtd_with_entities", patch("a DOCTYPE with nested entities", [](QByteArray& b) {
    b.prepend("<!DOCTYPE xml [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]>\n");
  }))));
  out.push_back(mustFail(toMain("attribute_unquoted", patch("an unquoted attribute value", replaceFirst("<z:row ", "<z:row Id=1 ")))));
  out.push_back(toMain("type_unknown", patch("a column of an unknown type", replaceFirst("dt:type='[^']*'", "dt:type='nonsense'"))));
  out.push_back(toMain("max_length_huge", patch("maxLength of 20 digits",
                                                replaceFirst("dt:maxLength='[0-9]+'", "dt:maxLength='99999999999999999999'"))));
  out.push_back(toMain("value_not_a_number", patch("an integer value 'abc'", replaceFirst("Id='[0-9]+'", "Id='abc'"))));
  out.push_back(toMain("undeclared_attribute", patch("a row attribute with no column", replaceFirst("<z:row ", "<z:row Ghost='1' "))));
  out.push_back(toMain("no_schema", patch("the schema removed", [](QByteArray& b) {
                         const qsizetype from = b.indexOf("<s:Schema"), to = b.indexOf("</s:Schema>");
                         if (from >= 0 && to > from) b.remove(from, to + 11 - from);
                       })));
}

}  // namespace

std::vector<Damage> damagesFor(const Sample& sample) {
  std::vector<Damage> out;
  const Format f = sample.format;
  // Cuts. Where the format's own rules say a cut must give an error, the
  // case says so: a Jet file cut inside a page; a workbook's compound
  // document or a rowset cut anywhere but at its very end.
  auto cut = [&](std::string name, Where where, bool nearStart) {
    Damage d = toMain(std::move(name), cutAt(where));
    if (f == Format::Jet)
      d.mustFail = [](const Layout& l, qsizetype n) { return l.unit > 0 && n % l.unit != 0; };
    else if ((f == Format::Excel || f == Format::Persist) && nearStart)
      d.mustFail = [f](const Layout& l, qsizetype) { return f == Format::Persist || l.header == 512; };
    out.push_back(std::move(d));
  };
  cut(
      "cut_0", [](const QByteArray&, const Layout&) { return qsizetype(0); }, true);
  cut(
      "cut_header_minus_1", [](const QByteArray&, const Layout& l) { return l.header - 1; }, true);
  cut(
      "cut_mid", [](const QByteArray& b, const Layout&) { return b.size() / 2; }, true);
  cut(
      "cut_last_unit", [](const QByteArray& b, const Layout& l) { return l.unit > 0 ? b.size() - l.unit : -1; }, false);
  cut(
      "cut_size_minus_1", [](const QByteArray& b, const Layout&) { return b.size() - 1; }, false);
  for (quint32 seed : {1u, 2u, 3u}) out.push_back(toMain("flip_random_" + std::to_string(seed), flipRandom(seed)));
  out.push_back(toMain(
      "zero_header", [](QByteArray& b, const Layout& l) { return zeroFrom(b, 1, std::min(l.header, b.size()) - 1); }));
  out.push_back(toMain("zero_mid_unit", [](QByteArray& b, const Layout& l) {
    const qsizetype unit = l.unit > 0 ? l.unit : 64;
    const qsizetype mid = l.header + ((b.size() - l.header) / 2) / unit * unit;
    return zeroFrom(b, mid, unit);
  }));
  out.push_back(toMain("zero_random", [](QByteArray& b, const Layout&) {
    if (b.isEmpty()) return QString();
    return zeroFrom(b, qsizetype(QRandomGenerator(77).bounded(quint32(b.size()))), 64);
  }));

  const bool hasCompanion = !sample.companion.isEmpty();
  switch (f) {
    case Format::XBase:
      addXBase(out, hasCompanion);
      break;
    case Format::Paradox:
      addParadox(out, hasCompanion);
      break;
    case Format::Jet:
      addJet(out);
      break;
    case Format::Text:
      addText(out);
      break;
    case Format::Persist:
      addPersist(out);
      break;
    case Format::Excel:
      addExcel(out, !sample.main.startsWith(QLatin1String("old")));
      break;
    default:
      break;
  }

  if (hasCompanion) {
    Damage missing;
    missing.name = "companion_missing";
    missing.onCompanion = true;
    missing.removesFile = true;
    out.push_back(std::move(missing));
    out.push_back(
        toCompanion("companion_cut_header", cutAt([](const QByteArray&, const Layout& l) { return l.header; })));
    out.push_back(
        toCompanion("companion_cut_mid", cutAt([](const QByteArray& b, const Layout&) { return b.size() / 2; })));
    out.push_back(toCompanion("companion_flip_random", flipRandom(31)));
  }
  return out;
}

}  // namespace damaged
