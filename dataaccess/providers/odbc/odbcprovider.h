// The provider for data links to any database with an ODBC driver, through
// unixODBC. Statements go to the server unchanged; rows are read into the
// compact row store; edits go back as one parameterised UPDATE per row in a
// single transaction.
#pragma once

#include "../../provider.h"

#include <memory>

namespace dataaccess {

std::unique_ptr<Provider> makeOdbcProvider();

}  // namespace dataaccess
