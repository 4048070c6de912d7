// The Paradox provider: a folder of .db tables (DefaultDir= inside the
// quoted Extended Properties of the connection string), read through pxlib
// with the project's own .MB reader, and written back all or nothing.
#pragma once

#include "../../provider.h"

#include <memory>

namespace dataaccess {

std::unique_ptr<Provider> makeParadoxProvider();

}  // namespace dataaccess
