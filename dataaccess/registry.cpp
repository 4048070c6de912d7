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
#if LUMBROOK_HAVE_PROVIDER_jet
#include "providers/jet/jetprovider.h"
#endif
#if LUMBROOK_HAVE_PROVIDER_excel
#include "providers/excel/excelprovider.h"
#endif
#if LUMBROOK_HAVE_PROVIDER_xbase
#include "providers/xbase/xbaseprovider.h"
#endif
#if LUMBROOK_HAVE_PROVIDER_paradox
#include "providers/paradox/paradoxprovider.h"
#endif
#if LUMBROOK_HAVE_PROVIDER_odbc
#include "providers/odbc/odbcprovider.h"
#endif

namespace dataaccess {

void registerBuiltinProviders(ProviderRegistry& registry) {
#if LUMBROOK_HAVE_PROVIDER_text
  registry.add(QStringLiteral("text"), makeTextProvider);
#endif
#if LUMBROOK_HAVE_PROVIDER_persist
  registry.add(QStringLiteral("persist"), makePersistProvider);
#endif
#if LUMBROOK_HAVE_PROVIDER_jet
  registry.add(QStringLiteral("jet"), makeJetProvider);
#endif
#if LUMBROOK_HAVE_PROVIDER_excel
  registry.add(QStringLiteral("excel"), makeExcelProvider);
#endif
#if LUMBROOK_HAVE_PROVIDER_xbase
  registry.add(QStringLiteral("xbase"), makeXBaseProvider);
#endif
#if LUMBROOK_HAVE_PROVIDER_paradox
  registry.add(QStringLiteral("paradox"), makeParadoxProvider);
#endif
#if LUMBROOK_HAVE_PROVIDER_odbc
  registry.add(QStringLiteral("odbc"), makeOdbcProvider);
#endif
  (void)registry;
}

}  // namespace dataaccess
