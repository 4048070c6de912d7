// The one error type of Lumbrook. Every layer (data access, converter, viewer
// logic) raises it; the viewer and the CLI turn it into "number: description".
// Numbers keep their 32-bit signed values so that they match the classic
// data-access and application error codes users and scripts may recognise.
#pragma once

#include <QString>
#include <cstdint>
#include <stdexcept>

namespace dataaccess {

class Error : public std::runtime_error {
 public:
  Error(int32_t number, QString source, QString description);

  int32_t number() const { return number_; }
  const QString& source() const { return source_; }
  const QString& description() const { return description_; }

  // "number: description", the form every message box and stderr line uses.
  QString message() const;

 private:
  int32_t number_;
  QString source_;
  QString description_;
};

// Error numbers used by the data-access layer.
namespace err {
// Base of application-defined object errors (0x80040000).
constexpr int32_t kAppBase = -2147221504;
// Unspecified provider failure (0x80004005): the number a provider uses for
// failures of its library or file (missing file, damaged data, ...).
constexpr int32_t kProviderFailure = -2147467259;
// "Arguments are of the wrong type, are out of acceptable range, or are in
// conflict with one another." (3001)
constexpr int32_t kInvalidArgument = -2146825287;
// "Either BOF or EOF is True, or the current record has been deleted." (3021)
constexpr int32_t kNoCurrentRecord = -2146825267;
// "Item cannot be found in the collection corresponding to the requested name
// or ordinal." (3265)
constexpr int32_t kItemNotFound = -2146825023;
// "Current Recordset does not support updating. ..." (3251)
constexpr int32_t kFeatureNotAvailable = -2146825037;
// "Multiple-step operation generated errors." / conversion failed (3421)
constexpr int32_t kDataConversion = -2146824867;
// "Operation is not allowed when the object is closed." (3704)
constexpr int32_t kObjectClosed = -2146824584;
// "Operation is not allowed when the object is open." (3705)
constexpr int32_t kObjectOpen = -2146824583;
// "Provider cannot be found. It may not be properly installed." (3706)
constexpr int32_t kProviderNotFound = -2146824582;
// "Row cannot be located for updating. Some values may have been changed
// since it was last read." (0x80040E38)
constexpr int32_t kRowConflict = -2147217864;
// Syntax error or unknown object in a statement (0x80040E14).
constexpr int32_t kCommandError = -2147217900;
// Table or file not found (0x80040E37).
constexpr int32_t kTableNotFound = -2147217865;
}  // namespace err

}  // namespace dataaccess
