// The dBase/FoxPro provider: a folder of .dbf tables (SourceType=DBF, DBQ=
// the folder) or a Visual FoxPro database container (SourceType=DBC,
// SourceDB= the .dbc file) whose tables and views make the catalogue.
// Reads through shapelib; writes edited records back all or nothing.
#pragma once

#include "../../provider.h"

#include <memory>

namespace dataaccess {

std::unique_ptr<Provider> makeXBaseProvider();

}  // namespace dataaccess
