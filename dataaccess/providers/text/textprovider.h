// The text provider: a folder of delimited text files (.txt, .log, .csv) read
// as tables, described by the folder's SCHEMA.INI. Read-only.
//
// The connection string names the folder (DBQ=, or DefaultDir=) and the
// extensions that count as tables (Extensions=, a comma-separated list;
// txt,csv,tab,asc when absent). Every ordinary, non-hidden file there with
// one of those extensions is a table named base + "#" + extension, as the
// file name writes them (a.csv is a#csv).
#pragma once

#include "../../provider.h"

#include <memory>

namespace dataaccess {

std::unique_ptr<Provider> makeTextProvider();

}  // namespace dataaccess
