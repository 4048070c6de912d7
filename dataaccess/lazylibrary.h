// A shared library that is opened the first time one of its functions is
// called, so that a program does not load the libraries of every kind of
// source at start-up (each costs mapping and relocation time) but only
// those of the sources it opens.
//
// A provider that uses a library this way defines, in one source file, a
// stand-in for each function it calls (LUMBROOK_LAZY_FUNCTION) and is built
// without linking the library; the stand-in finds the real function at its
// first call and calls it from then on.
#pragma once

#include <QString>
#include <mutex>

namespace dataaccess {

class LazyLibrary {
 public:
  // `soname` is the name the dynamic loader finds the library by (e.g.
  // "libpx.so.0"); `purpose` says what needs it, for the error message.
  LazyLibrary(const char* soname, const char* purpose) : soname_(soname), purpose_(purpose) {}
  LazyLibrary(const LazyLibrary&) = delete;
  LazyLibrary& operator=(const LazyLibrary&) = delete;

  // The address of function `name`. Throws Error (kProviderNotFound) when
  // the library or the function cannot be found.
  void* symbol(const char* name);

  // The soname, for messages.
  QString name() const { return QString::fromLatin1(soname_); }

 private:
  const char* soname_;
  const char* purpose_;
  std::once_flag opened_;
  void* handle_ = nullptr;
  const char* openError_ = nullptr;
};

}  // namespace dataaccess

// Defines the stand-in for C function `name` of `library` (a LazyLibrary
// object): LUMBROOK_LAZY_FUNCTION(px(), int, PX_get_value, (pxdoc_t* d), (d)).
// The declaration the library's header gives must match.
#define LUMBROOK_LAZY_FUNCTION(library, ret, name, params, args)                                   \
  extern "C" ret name params {                                                                    \
    static const auto real = reinterpret_cast<decltype(&name)>((library).symbol(#name));          \
    return real args;                                                                             \
  }
