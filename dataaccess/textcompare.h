// Text comparison rules of the file sources: letter case is ignored for
// every letter (Unicode simple case folding), order is the order of the
// folded code points, and LIKE patterns take % (any run) and _ (one
// character). Shared by the SQLite collation and LIKE function the SQL
// engine registers and by the engine's direct answers from stored columns,
// so both give the same rows. Text is UTF-8; a byte that is not valid UTF-8
// counts as a character of its own (U+DC80..U+DCFF), so nothing is lost.
// Runs of ASCII take a fast path.
#pragma once

#include <compare>
#include <cstdint>
#include <string_view>
#include <vector>

namespace dataaccess::textcmp {

// Negative, zero or positive as a sorts before, with or after b.
int compare(std::string_view a, std::string_view b);
inline bool equal(std::string_view a, std::string_view b) { return compare(a, b) == 0; }

// The first sixteen bytes of the folded text (UTF-8, zero padded) as two
// big-endian numbers: a smaller key (compared as a pair) implies
// compare(a, b) < 0.
struct PrefixKey {
  uint64_t high = 0, low = 0;
  auto operator<=>(const PrefixKey&) const = default;
};
PrefixKey prefixKey(std::string_view s);

// A LIKE pattern, folded once for matching many texts.
class LikePattern {
 public:
  // `escape` is the escape character (0 for none).
  explicit LikePattern(std::string_view pattern, char32_t escape = 0);
  bool matches(std::string_view text) const;

 private:
  enum class Kind : uint8_t { Char, One, Any };
  struct Elem {
    Kind kind;
    char32_t ch;  // folded, for Char
  };
  std::vector<Elem> elems_;
};

}  // namespace dataaccess::textcmp
