// Libraries opened at first use: a missing library or function is a
// "number: description" error naming it, never a crash, and a present one
// gives working functions.
#include "dataaccess/error.h"
#include "dataaccess/lazylibrary.h"

#include <gtest/gtest.h>

using dataaccess::Error;
using dataaccess::LazyLibrary;

TEST(LazyLibrary, MissingLibraryIsAnErrorEveryTime) {
  LazyLibrary missing("liblumbrook-no-such-library.so.9", "a test");
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      missing.symbol("anything");
      FAIL() << "no error";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), dataaccess::err::kProviderNotFound);
      EXPECT_TRUE(e.description().contains("liblumbrook-no-such-library.so.9")) << e.description().toStdString();
      EXPECT_TRUE(e.description().contains("a test")) << e.description().toStdString();
    }
  }
}

TEST(LazyLibrary, PresentLibraryGivesItsFunctionsAndNamesAMissingOne) {
  LazyLibrary libm("libm.so.6", "a test");
  auto* cosine = reinterpret_cast<double (*)(double)>(libm.symbol("cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  try {
    libm.symbol("lumbrook_no_such_function");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), dataaccess::err::kProviderNotFound);
    EXPECT_TRUE(e.description().contains("lumbrook_no_such_function"));
  }
}
