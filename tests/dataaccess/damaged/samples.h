// The undamaged files the damaged-file suite starts from: for every file
// provider, files the tests build and real files from the fixtures folder,
// each with the file to damage, its companion (memo, blob or SCHEMA.INI
// file) and how the program opens it.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

namespace damaged {

enum class Format { Text, Persist, Jet, Excel, XBase, Paradox };

// Where a file's header ends and how long its repeating unit (page, sector,
// block, record, line) is: the places truncations and zeroed blocks aim at.
struct Layout {
  qsizetype header = 0;
  qsizetype unit = 0;
};

struct Sample {
  std::string name;  // part of the case name
  Format format;
  // A real file: the fixture folder and the names to copy from it (all of
  // its files when empty), then changed by `build` when it is set. A built
  // file: `build` writes into the folder.
  QString fixtureFolder;
  QStringList fixtureFiles;
  std::function<bool(const QString& folder)> build;
  QString main;       // the file the damage goes to
  QString companion;  // memo, blob or SCHEMA.INI file; empty when none
  // For dBase/FoxPro: open through the database container named here
  // instead of the folder.
  QString container;
};

const std::vector<Sample>& samples();

// The header and unit of `bytes` as the main file of `format`, or of its
// companion file.
Layout mainLayout(Format format, const QByteArray& bytes);
Layout companionLayout(Format format, const QByteArray& bytes);

// Copies or builds `sample` into `folder`. Returns false (with the reason in
// `why`) when a built file could not be written; an empty `why` and false
// means the fixtures folder is absent.
bool materialise(const Sample& sample, const QString& folder, QString* why);

}  // namespace damaged
