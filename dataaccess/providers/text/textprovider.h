// The text provider: a folder of delimited text files (.txt, .log, .csv) read
// as tables, described by the folder's SCHEMA.INI. Read-only.
#pragma once

#include "../../provider.h"

#include <memory>

namespace dataaccess {

std::unique_ptr<Provider> makeTextProvider();

}  // namespace dataaccess
