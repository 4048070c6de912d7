#include "textprovider.h"
// Placeholder until the text provider lands.
namespace dataaccess {
std::unique_ptr<Provider> makeTextProvider() { return nullptr; }
}
