// The property blocks of a catalogue entry, framed before libmdb sees them:
// hand-built values, whole and damaged.
#include "dataaccess/providers/jet/propblocks.h"

#include <gtest/gtest.h>

using dataaccess::jet::framedPropertyBlocks;

namespace {

// A block: 32-bit length counting the 6-byte head, 16-bit type, body.
std::string block(unsigned type, const std::string& body) {
  const uint32_t n = uint32_t(body.size() + 6);
  std::string b;
  for (int i = 0; i < 4; ++i) b += char((n >> (8 * i)) & 0xFF);
  b += char(type & 0xFF);
  b += char(type >> 8);
  return b + body;
}

const std::string kJet4Head("MR2\0", 4);
const std::string kNames = block(0x80, "names");
const std::string kOwn = block(0x00, "table");
const std::string kColumnA = block(0x01, "column a");
const std::string kColumnB = block(0x01, "column b");

}  // namespace

TEST(PropertyBlocks, KeepsEveryBlockOrOnlyTheObjectsOwn) {
  const std::string whole = kJet4Head + kNames + kOwn + kColumnA + kColumnB;
  EXPECT_EQ(framedPropertyBlocks(whole, false), whole);
  EXPECT_EQ(framedPropertyBlocks(whole, true), kJet4Head + kNames + kOwn);
  // Jet 3 values start with "KKD"; a second name dictionary is kept in place.
  const std::string jet3 = std::string("KKD\0", 4) + kNames + kOwn + kColumnA + kNames + kColumnB;
  EXPECT_EQ(framedPropertyBlocks(jet3, true), std::string("KKD\0", 4) + kNames + kOwn + kNames);
}

TEST(PropertyBlocks, StopsAtTheFirstImpossibleLength) {
  const std::string good = kJet4Head + kNames + kOwn;
  // A length past the end, a length under the head's size, and a cut head.
  std::string past = block(0x01, "column");
  past[0] = char(0x7F);
  past[3] = char(0x7F);
  EXPECT_EQ(framedPropertyBlocks(good + past + kColumnA, false), good);
  std::string tiny = block(0x01, "");
  tiny[0] = 5;
  EXPECT_EQ(framedPropertyBlocks(good + tiny + kColumnA, false), good);
  std::string zero = block(0x01, "x");
  zero[0] = zero[1] = zero[2] = zero[3] = 0;
  EXPECT_EQ(framedPropertyBlocks(good + zero, false), good);
  EXPECT_EQ(framedPropertyBlocks(good + kColumnA.substr(0, 4), false), good);
  EXPECT_EQ(framedPropertyBlocks(good + kColumnA.substr(0, kColumnA.size() - 1), false), good);
}

TEST(PropertyBlocks, UnknownHeadsAndEmptyValuesGiveNothing) {
  EXPECT_EQ(framedPropertyBlocks("", false), "");
  EXPECT_EQ(framedPropertyBlocks(kJet4Head, false), "");
  EXPECT_EQ(framedPropertyBlocks(std::string("XYZ\0", 4) + kNames + kOwn, false), "");
  // Only column blocks, asked for the object's own: nothing to parse.
  EXPECT_EQ(framedPropertyBlocks(kJet4Head + kColumnA, true), "");
  std::string bad = block(0x01, "x");
  bad[0] = 1;
  EXPECT_EQ(framedPropertyBlocks(kJet4Head + bad, false), "");
}
