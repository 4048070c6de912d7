// The providers built into this library. A provider whose sources are not
// compiled in (see CMakeLists.txt) is simply absent: opening a source that
// needs it gives the "provider not found" error.
#include "provider.h"

#if LUMBROOK_HAVE_PROVIDER_text
#include "providers/text/textprovider.h"
#endif
#if LUMBROOK_HAVE_PROVIDER_persist
#include "providers/persist/persistprovider.h"
#endif

namespace dataaccess {

void registerBuiltinProviders(ProviderRegistry& registry) {
#if LUMBROOK_HAVE_PROVIDER_text
  registry.add(QStringLiteral("text"), makeTextProvider);
#endif
#if LUMBROOK_HAVE_PROVIDER_persist
  registry.add(QStringLiteral("persist"), makePersistProvider);
#endif
  (void)registry;
}

}  // namespace dataaccess
