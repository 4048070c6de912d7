#include "persistprovider.h"
namespace dataaccess {
std::unique_ptr<Provider> makePersistProvider() { return nullptr; }
}
