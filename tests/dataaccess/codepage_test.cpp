// Code pages of legacy tables: every byte of every single-byte page read and
// written back unchanged, the marks of dBase/FoxPro headers, the pages kept
// here (Mazovia, Kamenický) and the LegacyCodePage default.
#include "dataaccess/codepage.h"

#include <gtest/gtest.h>

using dataaccess::CodePage;

namespace {

// Every single-byte page a dBase/FoxPro mark or a Paradox header can name.
const int kSingleBytePages[] = {437,  620,  737,  850,  852,  857,  860,  861,  863,  865,  866,   874,   895,   1250,
                                1251, 1252, 1253, 1254, 1255, 1256, 1257, 10000, 10006, 10007, 10029};

std::string allBytes() {
  std::string bytes(256, '\0');
  for (int b = 0; b < 256; ++b) bytes[size_t(b)] = char(b);
  return bytes;
}

// Restores the process-wide setting whatever a test leaves behind.
struct LegacySettingGuard {
  ~LegacySettingGuard() { CodePage::setLegacyCodePage(QString()); }
};

}  // namespace

TEST(CodePage, EverySingleBytePageRoundTripsAllByteValues) {
  const std::string bytes = allBytes();
  for (int number : kSingleBytePages) {
    SCOPED_TRACE(number);
    const std::optional<CodePage> page = CodePage::byNumber(number);
    ASSERT_TRUE(page.has_value()) << "code page not available";
    ASSERT_TRUE(page->isSingleByte());
    const QString text = page->decode(bytes);
    ASSERT_EQ(text.size(), 256);
    EXPECT_FALSE(text.contains(QChar(0xFFFD)));
    const std::optional<QByteArray> back = page->encode(text);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->toStdString(), bytes);
    // Byte by byte too: no character stands for two bytes.
    for (int b = 0; b < 256; ++b) {
      const std::optional<QByteArray> one = page->encode(text.mid(b, 1));
      ASSERT_TRUE(one && one->size() == 1 && uchar(one->at(0)) == b) << "byte " << b;
    }
  }
}

TEST(CodePage, BytesWindows1252LeavesUndefinedKeepTheirNumber) {
  const CodePage page;
  EXPECT_EQ(page.name(), QStringLiteral("windows-1252"));
  for (uchar b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
    const char c = char(b);
    EXPECT_EQ(page.decode(std::string_view(&c, 1)), QString(QChar(b)));
  }
  EXPECT_EQ(page.decode("baix pened\xE8s"), QString::fromUtf8("baix penedès"));
  EXPECT_EQ(page.decode("\x80\x9F"), QString::fromUtf8("€Ÿ"));
  EXPECT_EQ(page.encode(QString::fromUtf8("€ and è")), QByteArray("\x80 and \xE8"));
  // A character the page lacks is refused, never replaced.
  EXPECT_FALSE(page.encode(QString::fromUtf8("Ж")).has_value());
  EXPECT_FALSE(page.encode(QString::fromUtf8("😀")).has_value());
}

TEST(CodePage, MazoviaAndKamenickyKeepThe437GraphicsAndAddTheirLetters) {
  const std::optional<CodePage> mazovia = CodePage::forLanguageDriver(0x69);
  ASSERT_TRUE(mazovia);
  EXPECT_EQ(mazovia->name(), QStringLiteral("Mazovia"));
  EXPECT_EQ(mazovia->decode("\x9C\xA2\x9E\x86 \xA1\xA6\x92"), QString::fromUtf8("Łóśą Żźł"));
  EXPECT_EQ(mazovia->decode("\xC9\xCD\xBB"), QString::fromUtf8("╔═╗"));
  EXPECT_EQ(mazovia->encode(QString::fromUtf8("Łódź")), QByteArray("\x9C\xA2\x64\xA6"));

  const std::optional<CodePage> kamenicky = CodePage::forLanguageDriver(0x68);
  ASSERT_TRUE(kamenicky);
  EXPECT_EQ(kamenicky->name(), QStringLiteral("Kamenicky"));
  EXPECT_EQ(kamenicky->decode("\x80\x65\xA8tina \x9E\x82\x87"), QString::fromUtf8("Čeština Řéč"));
  EXPECT_EQ(kamenicky->decode("\xB3\xDB"), QString::fromUtf8("│█"));

  EXPECT_EQ(CodePage::byName("mazovia")->name(), QStringLiteral("Mazovia"));
  EXPECT_EQ(CodePage::byName("KEYBCS2")->name(), QStringLiteral("Kamenicky"));
  EXPECT_EQ(CodePage::byNumber(790)->name(), QStringLiteral("Mazovia"));
}

TEST(CodePage, LanguageDriverMarks) {
  EXPECT_FALSE(CodePage::forLanguageDriver(0x00));  // no mark
  EXPECT_FALSE(CodePage::forLanguageDriver(0xFE));  // a mark not known here
  EXPECT_EQ(CodePage::forLanguageDriver(0x03)->name(), QStringLiteral("windows-1252"));
  EXPECT_EQ(CodePage::forLanguageDriver(0x01)->name(), QStringLiteral("IBM437"));
  EXPECT_EQ(CodePage::forLanguageDriver(0x64)->name(), QStringLiteral("IBM852"));
  EXPECT_EQ(CodePage::forLanguageDriver(0xC9)->name(), QStringLiteral("windows-1251"));
  EXPECT_EQ(CodePage::forLanguageDriver(0x13)->name(), QStringLiteral("Shift_JIS"));
  EXPECT_FALSE(CodePage::forLanguageDriver(0x13)->isSingleByte());
  EXPECT_EQ(CodePage::forLanguageDriver(0x13)->decode("\x93\xFA\x96\x7B"), QString::fromUtf8("日本"));
}

TEST(CodePage, NamesAndNumbers) {
  EXPECT_EQ(CodePage::byName("850")->name(), QStringLiteral("IBM850"));
  EXPECT_EQ(CodePage::byName(" cp852 ")->name(), QStringLiteral("IBM852"));
  EXPECT_EQ(CodePage::byName("IBM866")->name(), QStringLiteral("IBM866"));
  EXPECT_EQ(CodePage::byName("Windows-1250")->name(), QStringLiteral("windows-1250"));
  EXPECT_TRUE(CodePage::byName("ISO-8859-2")->isSingleByte());
  EXPECT_FALSE(CodePage::byName(""));
  EXPECT_FALSE(CodePage::byName("no such page"));
  EXPECT_FALSE(CodePage::byNumber(0));
  EXPECT_FALSE(CodePage::byNumber(99999));
}

TEST(CodePage, LegacySettingReplacesTheFormatDefault) {
  LegacySettingGuard guard;
  EXPECT_EQ(CodePage::legacyDefault(1252).name(), QStringLiteral("windows-1252"));
  EXPECT_EQ(CodePage::legacyDefault(437).name(), QStringLiteral("IBM437"));

  EXPECT_TRUE(CodePage::setLegacyCodePage("852"));
  EXPECT_EQ(CodePage::legacyDefault(1252).name(), QStringLiteral("IBM852"));
  EXPECT_EQ(CodePage::legacyDefault(437).name(), QStringLiteral("IBM852"));

  // An unknown value is ignored, and an empty one restores the defaults.
  EXPECT_FALSE(CodePage::setLegacyCodePage("no such page"));
  EXPECT_EQ(CodePage::legacyDefault(1252).name(), QStringLiteral("windows-1252"));
  EXPECT_TRUE(CodePage::setLegacyCodePage("Mazovia"));
  EXPECT_FALSE(CodePage::setLegacyCodePage(""));
  EXPECT_FALSE(CodePage::legacyCodePage());
}
