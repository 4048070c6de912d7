#include "convertorerrors.h"

#include <new>
#include <stdexcept>

namespace quillon {

namespace {

// The platform's numbers for failures that are not error records.
constexpr int32_t kOutOfMemory = -2147024882;  // 0x8007000E
constexpr int32_t kFailure = -2147467259;      // 0x80004005

}  // namespace

void RaiseOwnError(ConvertorErrorENUM number, const QString& source) {
  throw dataaccess::Error(number, source, QString());
}

void RaiseConvertorError(const dataaccess::Error& trapped) {
  const int32_t number = trapped.number();
  switch (number) {
    case errFilePathFailed:
      throw dataaccess::Error(number, trapped.source(), QStringLiteral("File not found or Path not specified."));
    case errXMLVersionFailed:
      throw dataaccess::Error(number, trapped.source(), QStringLiteral("Required MSXML version 3.0 or later."));
    case errXMLload:
      throw dataaccess::Error(number, trapped.source(), QStringLiteral("Can not load XML into XMLDocument object."));
    default: {
      const QString description =
          trapped.description().isEmpty() ? QString::fromLatin1(kGenericDescription) : trapped.description();
      throw dataaccess::Error(errUnknown, trapped.source(), QString::number(number) + QLatin1Char(':') + description);
    }
  }
}

dataaccess::Error currentExceptionAsError(const QString& source) {
  try {
    throw;
  } catch (const dataaccess::Error& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return dataaccess::Error(kOutOfMemory, source, QStringLiteral("Out of memory."));
  } catch (const std::exception& e) {
    return dataaccess::Error(kFailure, source, QString::fromLocal8Bit(e.what()));
  } catch (...) {
    return dataaccess::Error(kFailure, source, QStringLiteral("Unspecified error."));
  }
}

}  // namespace quillon
