#include "textcompare.h"

#include <QChar>

namespace dataaccess::textcmp {

namespace {

inline unsigned char asciiFold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

// Reads one character at s[i] and moves i past it.
char32_t decode(std::string_view s, size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int len = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if ((b0 & 0xE0) == 0xC0) len = 2, cp = b0 & 0x1F, min = 0x80;
  else if ((b0 & 0xF0) == 0xE0) len = 3, cp = b0 & 0x0F, min = 0x800;
  else if ((b0 & 0xF8) == 0xF0) len = 4, cp = b0 & 0x07, min = 0x10000;
  if (len && i + size_t(len) <= s.size()) {
    bool ok = true;
    for (int k = 1; k < len && ok; ++k) {
      const auto b = static_cast<unsigned char>(s[i + size_t(k)]);
      ok = (b & 0xC0) == 0x80;
      cp = (cp << 6) | (b & 0x3F);
    }
    if (ok && cp >= min && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF)) {
      i += size_t(len);
      return cp;
    }
  }
  ++i;
  return 0xDC00 + b0;  // a stray byte stands for itself
}

inline char32_t fold(char32_t c) {
  if (c < 0x80) return asciiFold(static_cast<unsigned char>(c));
  return QChar::toCaseFolded(c);
}

inline char32_t nextFolded(std::string_view s, size_t& i) { return fold(decode(s, i)); }

// Appends the UTF-8 bytes of c (any value below 0x110000) to a key.
void encode(char32_t c, unsigned char* out, int& n) {
  unsigned char buf[4];
  int len;
  if (c < 0x80) buf[0] = static_cast<unsigned char>(c), len = 1;
  else if (c < 0x800) buf[0] = 0xC0 | (c >> 6), buf[1] = 0x80 | (c & 0x3F), len = 2;
  else if (c < 0x10000)
    buf[0] = 0xE0 | (c >> 12), buf[1] = 0x80 | ((c >> 6) & 0x3F), buf[2] = 0x80 | (c & 0x3F), len = 3;
  else
    buf[0] = 0xF0 | (c >> 18), buf[1] = 0x80 | ((c >> 12) & 0x3F), buf[2] = 0x80 | ((c >> 6) & 0x3F),
    buf[3] = 0x80 | (c & 0x3F), len = 4;
  for (int k = 0; k < len && n < 16; ++k) out[n++] = buf[k];
}

}  // namespace

int compare(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  size_t i = 0;
  for (; i < n; ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if ((x | y) >= 0x80) break;
    if (x != y) {
      const int d = int(asciiFold(x)) - int(asciiFold(y));
      if (d) return d;
    }
  }
  if (i == n) return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
  // Both stand at a character boundary: everything before was ASCII.
  size_t j = i;
  while (i < a.size() && j < b.size()) {
    const char32_t x = nextFolded(a, i);
    const char32_t y = nextFolded(b, j);
    if (x != y) return x < y ? -1 : 1;
  }
  return i < a.size() ? 1 : j < b.size() ? -1 : 0;
}

PrefixKey prefixKey(std::string_view s) {
  unsigned char key[16] = {};
  int n = 0;
  size_t i = 0;
  while (n < 16 && i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      key[n++] = asciiFold(c);
      ++i;
    } else {
      encode(nextFolded(s, i), key, n);
    }
  }
  PrefixKey k;
  for (int b = 0; b < 8; ++b) k.high = (k.high << 8) | key[b];
  for (int b = 8; b < 16; ++b) k.low = (k.low << 8) | key[b];
  return k;
}

LikePattern::LikePattern(std::string_view pattern, char32_t escape) {
  size_t i = 0;
  while (i < pattern.size()) {
    char32_t c = decode(pattern, i);
    if (escape && c == escape && i < pattern.size()) {
      elems_.push_back({Kind::Char, fold(decode(pattern, i))});
    } else if (c == '%') {
      if (elems_.empty() || elems_.back().kind != Kind::Any) elems_.push_back({Kind::Any, 0});
    } else if (c == '_') {
      elems_.push_back({Kind::One, 0});
    } else {
      elems_.push_back({Kind::Char, fold(c)});
    }
  }
}

bool LikePattern::matches(std::string_view text) const {
  // Greedy matching that returns to the last % on a mismatch: each % only
  // ever needs to take more characters, so this is linear per % position.
  const size_t pn = elems_.size();
  size_t p = 0, t = 0;
  size_t starP = SIZE_MAX, starT = 0;
  while (t < text.size()) {
    if (p < pn && elems_[p].kind == Kind::Any) {
      starP = ++p;
      starT = t;
      continue;
    }
    if (p < pn) {
      size_t next = t;
      const char32_t c = nextFolded(text, next);
      if (elems_[p].kind == Kind::One || elems_[p].ch == c) {
        ++p;
        t = next;
        continue;
      }
    }
    if (starP == SIZE_MAX) return false;
    p = starP;
    decode(text, starT);
    t = starT;
  }
  while (p < pn && elems_[p].kind == Kind::Any) ++p;
  return p == pn;
}

}  // namespace dataaccess::textcmp
