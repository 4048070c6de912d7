#include "provider.h"

#include "error.h"

namespace dataaccess {

// Each built-in provider contributes its factory here; see registry.cpp.
void registerBuiltinProviders(ProviderRegistry& registry);

Provider::~Provider() = default;

RowStorePtr Provider::executeHead(const QString&, int64_t) { return nullptr; }

std::optional<QVariant> Provider::property(const QString&) const { return std::nullopt; }

void Provider::applyBatch(const RowStore&, const std::vector<RowChange>&) { raiseReadOnly(name()); }

std::vector<QVariant> Provider::reread(const RowStore&, int64_t, const std::vector<QVariant>&) {
  throw Error(err::kFeatureNotAvailable, QStringLiteral("Recordset.Resync"),
              QStringLiteral("The %1 source cannot read a row again.").arg(name()));
}

void raiseReadOnly(const QString& providerName) {
  throw Error(err::kFeatureNotAvailable, QStringLiteral("Recordset.UpdateBatch"),
              QStringLiteral("Current Recordset does not support updating: the %1 source is read-only.")
                  .arg(providerName));
}

ProviderRegistry& ProviderRegistry::instance() {
  static ProviderRegistry registry;
  return registry;
}

ProviderRegistry::ProviderRegistry() { registerBuiltinProviders(*this); }

void ProviderRegistry::add(const QString& name, Factory factory) {
  factories_.emplace_back(name, std::move(factory));
}

bool ProviderRegistry::has(const QString& name) const {
  for (const auto& [n, f] : factories_)
    if (n == name) return true;
  return false;
}

std::unique_ptr<Provider> ProviderRegistry::create(const QString& name) const {
  for (const auto& [n, f] : factories_)
    if (n == name) return f();
  throw Error(err::kProviderNotFound, QStringLiteral("Connection.Open"),
              QStringLiteral("Provider cannot be found. It may not be properly installed. "
                             "(The %1 provider is not part of this build.)")
                  .arg(name));
}

}  // namespace dataaccess
