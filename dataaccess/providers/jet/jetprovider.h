// The jet provider: Access databases (.mdb, Jet 3 and Jet 4; .accdb files
// read too) through mdbtools' libmdb. Opened by
//   Provider=Microsoft JET 4.0 OLE DB Provider;Data Source=<file>;...
// or a data link naming Microsoft.Jet.OLEDB.4.0. Read-only: libmdb cannot
// write Jet files safely, so batches are refused and the file is never
// opened for writing.
#pragma once

#include "../../provider.h"

#include <memory>

namespace dataaccess {

std::unique_ptr<Provider> makeJetProvider();

}  // namespace dataaccess
