// The converter's enumerations and its error contract.
//
// Every translating method of the library (the two loaders, ADORS_2_XMLString
// and ADOXML_2_StandardXML) traps whatever goes wrong inside it and ends in
// RaiseConvertorError, so a client sees only a handful of numbers: three with
// fixed texts, and errUnknown carrying the trapped number and description.
#pragma once

#include "quillonglobal.h"

#include "dataaccess/error.h"

#include <QString>
#include <cstdint>

namespace quillon {

// Output shapes. The non-zero values are also the identifiers of the
// built-in stylesheets.
enum XMLRecordsetENUM : int32_t {
  xrsADOPersist = 0,
  xrsAttribute = 101,
  xrsSchema = 102,
  xrsEntity = 103,
};

// The library's error numbers: the application-defined object error base
// (0x80040000) plus 612 to 621.
enum ConvertorErrorENUM : int32_t {
  errFilePathFailed = -2147220892,    // 0x80040264
  errXMLVersionFailed = -2147220891,  // 0x80040265
  errRSXSLLoadFailed = -2147220890,   // 0x80040266 (never raised)
  errCustomXSLLoadFailed = -2147220889,  // 0x80040267 (never raised)
  errRSSaveFailed = -2147220888,      // 0x80040268 (never raised)
  errDictionaryFailed = -2147220887,  // 0x80040269
  errUnknown = -2147220886,           // 0x8004026A
  errXMLload = -2147220885,           // 0x8004026B
  errRSnotSupportSave = -2147220884,  // 0x8004026C
  errRSisEmpty = -2147220883,         // 0x8004026D
};

// Error sources the library sets itself.
inline constexpr char kSourceCreateXMLObject[] = "mXML.CreateXMLObject";
inline constexpr char kSourceLoadXML[] = "mXML.LoadXML";
inline constexpr char kSourceDictionaryToXML[] = "mXML.DictionaryToXML";
inline constexpr char kClassConvertor[] = "Convertor";

// The text that stands for a description when the library raises one of its
// own numbers without a description of its own (the generic text of a
// user-defined error).
inline constexpr char kGenericDescription[] = "Application-defined or object-defined error.";

// Raises one of the library's own errors with no description.
[[noreturn]] QUILLON_EXPORT void RaiseOwnError(ConvertorErrorENUM number, const QString& source);

// Translates a trapped error and raises the result; never returns.
//   errFilePathFailed   -> same number and source, "File not found or Path not specified."
//   errXMLVersionFailed -> same number and source, "Required MSXML version 3.0 or later."
//   errXMLload          -> same number and source, "Can not load XML into XMLDocument object."
//   anything else       -> errUnknown, same source, "<number>:<description>"
// An errUnknown that is translated again gains a second prefix, as callers
// of the loaders through the conversions have always seen.
[[noreturn]] QUILLON_EXPORT void RaiseConvertorError(const dataaccess::Error& trapped);

// Runs `body` and passes every failure to RaiseConvertorError: errors of the
// library and of the data layer as they are, out-of-memory and any other
// exception as errors of their own with the platform's numbers.
template <class Body>
auto translatingErrors(Body&& body) -> decltype(body());

// Turns any exception in flight into an error record; used by
// translatingErrors. REQUIRES: called from a catch block.
QUILLON_EXPORT dataaccess::Error currentExceptionAsError(const QString& source);

}  // namespace quillon

template <class Body>
auto quillon::translatingErrors(Body&& body) -> decltype(body()) {
  try {
    return body();
  } catch (const dataaccess::Error& e) {
    RaiseConvertorError(e);
  } catch (...) {
    RaiseConvertorError(currentExceptionAsError(QString()));
  }
}
