// The SCHEMA.INI that tells the text provider how to read the delimited
// text files of a folder: one section per .txt, .log and .csv file.
#pragma once

#include <QString>

namespace viewer {

// Writes (key by key, through ProfileSetString) the sections of every text
// file in the folder of `path` into that folder's SCHEMA.INI:
//   x.txt -> [x.txt] ColNameHeader=True, Format=<TextFormat>
//   x.log -> [x.txt] ColNameHeader=False, Format=<TextFormat> (read through
//            its .txt copy; the first line is data)
//   x.csv -> [x.csv] ColNameHeader=True, Format=CSVDelimited
// each with CharacterSet=ANSI and MaxScanRows=0. Hidden files get no
// section. Raises ProfileSetString's error.
void WriteSchemaIni(const QString& path, const QString& ext);

}  // namespace viewer
