// The kinds of damage the damaged-file suite does to a sample: truncations
// at the places a reader relies on (nothing left, the header cut by a byte,
// the middle, the last page or record, the last byte), bytes flipped at
// chosen and at seeded-random offsets, zeroed blocks, a missing or cut
// companion file, and the hostile header values of each format.
#pragma once

#include "samples.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <string>
#include <vector>

namespace damaged {

struct Damage {
  std::string name;  // part of the case name
  bool onCompanion = false;
  bool removesFile = false;  // the target is deleted; `apply` is not used
  // Changes `bytes` (with `layout` of the target). Returns what it did, or an
  // empty string when it could not be applied (an offset past the end, a
  // block with nothing to zero): the case then fails.
  std::function<QString(QByteArray& bytes, const Layout& layout)> apply;
  // The format's rule that this damage always gives an error (a Jet file cut
  // off inside a page, a workbook without its header, ...).
  std::function<bool(const Layout& layout, qsizetype newSize)> mustFail;
};

// Every damage done to `sample`, main file first, then its companion.
std::vector<Damage> damagesFor(const Sample& sample);

}  // namespace damaged
