// The persist provider: opens XML rowset files written by Recordset::Save
// (connection string "Provider=MSPERSIST", the file as the source with the
// adCmdFile option). Read-only.
#pragma once

#include "../../provider.h"

#include <memory>

namespace dataaccess {

std::unique_ptr<Provider> makePersistProvider();

}  // namespace dataaccess
