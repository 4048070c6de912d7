#include "delimitedparser.h"

#include <cstring>

namespace dataaccess::text {

namespace {

// Line breaks in a stretch of quoted text: LF, CRLF and a lone CR count once.
int64_t countBreaks(const char* p, const char* end) {
  int64_t n = 0;
  for (; p < end; ++p) {
    if (*p == '\n') {
      ++n;
    } else if (*p == '\r') {
      ++n;
      if (p + 1 < end && p[1] == '\n') ++p;
    }
  }
  return n;
}

}  // namespace

DelimitedParser::DelimitedParser(char delimiter) : delimiter_(delimiter) {
  std::memset(special_, 0, sizeof special_);
  special_[uint8_t(delimiter)] = true;
  special_[uint8_t('\n')] = true;
  special_[uint8_t('\r')] = true;
}

DelimitedParser::Result DelimitedParser::next(const char* data, size_t size, size_t& pos, bool atEnd) {
  fields_.clear();
  scratch_.clear();
  if (pos >= size) return atEnd ? Result::End : Result::NeedMore;
  const char* p = data + pos;
  const char* const end = data + size;
  int64_t linesInside = 0;
  auto reserveScratch = [&] {
    // Unescaped text never outgrows the raw text of the record, so after
    // this no append moves the scratch space and its views stay valid.
    if (scratch_.capacity() < size - pos) scratch_.reserve(size - pos);
  };

  for (;;) {
    if (*p == '"') {
      const int64_t quoteLine = nextLine_ + linesInside;
      const char* q = p + 1;
      bool inScratch = false;
      size_t scratchStart = 0;
      const char* quote;
      for (;;) {
        quote = static_cast<const char*>(std::memchr(q, '"', size_t(end - q)));
        if (!quote) {
          if (!atEnd) return Result::NeedMore;
          lastLine_ = quoteLine;
          return Result::Unterminated;
        }
        if (quote + 1 == end && !atEnd) return Result::NeedMore;  // a doubled quote may follow
        linesInside += countBreaks(q, quote);
        if (quote + 1 < end && quote[1] == '"') {
          if (!inScratch) {
            reserveScratch();
            scratchStart = scratch_.size();
            inScratch = true;
          }
          scratch_.append(q, size_t(quote + 1 - q));
          q = quote + 2;
          continue;
        }
        break;
      }
      std::string_view content;
      if (inScratch) {
        scratch_.append(q, size_t(quote - q));
        content = std::string_view(scratch_.data() + scratchStart, scratch_.size() - scratchStart);
      } else {
        content = std::string_view(p + 1, size_t(quote - p - 1));
      }
      p = quote + 1;
      if (p < end && !special_[uint8_t(*p)]) {
        // Text after the closing quote is kept as it stands.
        const char* s = p;
        while (p < end && !special_[uint8_t(*p)]) ++p;
        if (p == end && !atEnd) return Result::NeedMore;
        if (!inScratch) {
          reserveScratch();
          scratchStart = scratch_.size();
          scratch_.append(content.data(), content.size());
        }
        scratch_.append(s, size_t(p - s));
        content = std::string_view(scratch_.data() + scratchStart, scratch_.size() - scratchStart);
      }
      fields_.push_back(content);
    } else {
      const char* s = p;
      while (p < end && !special_[uint8_t(*p)]) ++p;
      fields_.emplace_back(s, size_t(p - s));
    }

    if (p == end) {
      if (!atEnd) return Result::NeedMore;
      break;
    }
    const char c = *p;
    if (c == delimiter_) {
      ++p;
      if (p == end) {
        if (!atEnd) return Result::NeedMore;
        fields_.emplace_back();
        break;
      }
      continue;
    }
    if (c == '\n') {
      ++p;
    } else {  // '\r'
      if (p + 1 == end && !atEnd) return Result::NeedMore;
      ++p;
      if (p < end && *p == '\n') ++p;
    }
    break;
  }
  pos = size_t(p - data);
  lastLine_ = nextLine_;
  nextLine_ += 1 + linesInside;
  return Result::Record;
}

}  // namespace dataaccess::text
