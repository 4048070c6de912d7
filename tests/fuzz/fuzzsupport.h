// Helpers shared by the libFuzzer targets: a private scratch folder per
// process (in /dev/shm when there is one) for parsers that read files, and
// the split of one fuzz input into the several files a format spreads over.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzz {

// Marks where one file of a multi-file input ends and the next begins. The
// seeds hold it; the mutator keeps or breaks it like any other bytes.
inline constexpr char kSeparator[] = "\n=LUMBROOK-FUZZ=\n";

// Splits `data` at the first `parts - 1` separators. Always returns `parts`
// entries (the missing ones empty).
std::vector<QByteArray> splitInput(const uint8_t* data, size_t size, int parts);

// The scratch folder of this process, made on first use and removed at exit.
const QString& scratchFolder();

// Writes `bytes` to `name` in the scratch folder and returns its path.
QString writeScratch(const QString& name, const QByteArray& bytes);
// Removes every file of the scratch folder.
void clearScratch();

}  // namespace fuzz
