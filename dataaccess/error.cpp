#include "error.h"

namespace dataaccess {

Error::Error(int32_t number, QString source, QString description)
    : std::runtime_error(QStringLiteral("%1: %2").arg(number).arg(description).toStdString()),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

QString Error::message() const { return QStringLiteral("%1: %2").arg(number_).arg(description_); }

}  // namespace dataaccess
