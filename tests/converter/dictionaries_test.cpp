// Parameter dictionaries and the element built from them.
#include "converter/convertorerrors.h"
#include "converter/dictionaries.h"

#include "converter_testutil.h"

#include <gtest/gtest.h>

using dataaccess::Error;
using namespace quillon;

namespace {

Error dictionaryError(const cDictionaries& d, const QString& entity) {
  try {
    DictionaryToXML(d, entity);
  } catch (const Error& e) {
    return e;
  }
  ADD_FAILURE() << "no error raised";
  return Error(0, {}, {});
}

}  // namespace

TEST(cDictionaries, KeysAreUniqueWithoutRegardToCase) {
  cDictionaries d;
  d.Add("From", "1");
  try {
    d.Add("from", "2");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrDuplicateKey);
  }
  EXPECT_EQ(d.Count(), 1);
  EXPECT_EQ(d.Item("FROM")->Value(), "1");
}

TEST(cDictionaries, PositionAndKeyReachTheSameItem) {
  cDictionaries d;
  auto added = d.Add("from", "2004-01-01");
  EXPECT_EQ(d.Item(1), added);
  EXPECT_EQ(d.Item(QVariant("from")), added);
  EXPECT_EQ(d.Item(QVariant(1.0)), added);
}

TEST(cDictionaries, MissingKeysAndPositionsAreErrors) {
  cDictionaries d;
  d.Add("a", "1");
  EXPECT_THROW(d.Item(0), Error);
  EXPECT_THROW(d.Item(2), Error);
  EXPECT_THROW(d.Item("b"), Error);
  EXPECT_THROW(d.Remove(QVariant("b")), Error);
  EXPECT_EQ(d.Count(), 1);
}

TEST(cDictionaries, RemoveKeepsOrderAndFreesTheKey) {
  cDictionaries d;
  d.Add("a", "1");
  d.Add("b", "2");
  d.Add("c", "3");
  d.Remove(QVariant(2));
  d.Remove(QVariant("A"));
  ASSERT_EQ(d.Count(), 1);
  EXPECT_EQ(d.Item(1)->Key(), "c");
  d.Add("B", "again");  // the removed key can be used again
  QStringList keys;
  for (const auto& item : d) keys << item->Key();
  EXPECT_EQ(keys, QStringList({"c", "B"}));
}

TEST(DictionaryToXML, ChildrenFollowTheOrderOfAdding) {
  cDictionaries d;
  d.Add("to", "2004-12-31");
  d.Add("from", "2004-01-01 & <later>");
  auto doc = DictionaryToXML(d, "request");
  const auto root = convertertest::parseXml(doc->xml());
  EXPECT_EQ(root.name, "request");
  ASSERT_EQ(root.children.size(), 2u);
  EXPECT_EQ(root.children[0].name, "to");
  EXPECT_EQ(root.children[0].text, "2004-12-31");
  EXPECT_EQ(root.children[1].name, "from");
  EXPECT_EQ(root.children[1].text, "2004-01-01 & <later>");
}

TEST(DictionaryToXML, EmptyCollectionGivesAnEmptyElement) {
  cDictionaries d;
  auto doc = DictionaryToXML(d, "params");
  EXPECT_EQ(doc->xml(), "<params/>");
}

TEST(DictionaryToXML, BadNamesFailWithTheirLineNumber) {
  cDictionaries d;
  d.Add("from to", "x");
  Error e = dictionaryError(d, "request");
  EXPECT_EQ(e.number(), errDictionaryFailed);
  EXPECT_EQ(e.source(), "mXML.DictionaryToXML");
  EXPECT_TRUE(e.description().startsWith("mXML component failure on line 150\r\n-2147467259:"))
      << e.description().toStdString();

  cDictionaries empty;
  EXPECT_TRUE(dictionaryError(empty, "").description().startsWith("mXML component failure on line 110"));
  EXPECT_TRUE(dictionaryError(empty, "a:b").description().startsWith("mXML component failure on line 110"));
  cDictionaries blankKey;
  blankKey.Add("", "x");
  EXPECT_TRUE(dictionaryError(blankKey, "r").description().startsWith("mXML component failure on line 150"));
}
