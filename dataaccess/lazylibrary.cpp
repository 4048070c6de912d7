#include "lazylibrary.h"

#include "error.h"

#include <dlfcn.h>

namespace dataaccess {

void* LazyLibrary::symbol(const char* name) {
  std::call_once(opened_, [this] {
    handle_ = dlopen(soname_, RTLD_NOW | RTLD_LOCAL);
    if (!handle_) openError_ = dlerror();
  });
  if (!handle_)
    throw Error(err::kProviderNotFound, QStringLiteral("Connection.Open"),
                QStringLiteral("The library %1, which %2 needs, could not be loaded: %3")
                    .arg(QString::fromLatin1(soname_), QString::fromLatin1(purpose_),
                         QString::fromLocal8Bit(openError_ ? openError_ : "not found")));
  void* address = dlsym(handle_, name);
  if (!address)
    throw Error(err::kProviderNotFound, QStringLiteral("Connection.Open"),
                QStringLiteral("The library %1 lacks the function %2.")
                    .arg(QString::fromLatin1(soname_), QString::fromLatin1(name)));
  return address;
}

}  // namespace dataaccess
