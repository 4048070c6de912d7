// Identity of the Quillon library and creation of its classes by name.
//
// Clients create the three classes either directly or through CreateObject
// with a ProgID ("Quillon.Convertor") or a class identifier
// ("{8557AFAF-...}"), the way the viewer has always located the converter.
// The identifiers are fixed for version 2.0 and must never change.
#pragma once

#include "quillonglobal.h"

#include <QString>
#include <memory>

namespace quillon {

// Library identity.
inline constexpr char kLibraryName[] = "Quillon";
inline constexpr int kVersionMajor = 2;
inline constexpr int kVersionMinor = 0;
inline constexpr int kLocaleId = 0x409;
inline constexpr char kLibraryDescription[] = "Quillon: recordset to XML conversion utility";
inline constexpr char kLibraryId[] = "{8CDEFA7E-0D06-4757-A5B7-14498EC5222C}";

// ProgIDs.
inline constexpr char kProgIdConvertor[] = "Quillon.Convertor";
inline constexpr char kProgIdDictionaries[] = "Quillon.cDictionaries";
inline constexpr char kProgIdDictionary[] = "Quillon.cDictionary";

// Class identifiers.
inline constexpr char kClsidConvertor[] = "{8557AFAF-02EA-497F-9FCE-168FDBB951C7}";
inline constexpr char kClsidDictionaries[] = "{FCDC8CD1-861F-4997-9092-8D4679364739}";
inline constexpr char kClsidDictionary[] = "{1AF5078B-7CF4-4130-94D0-8B00298E8591}";

// Identifiers of the default interfaces.
inline constexpr char kIid_Convertor[] = "{2551DFEF-ECF6-4468-8AB0-5EC83EF9F8F0}";
inline constexpr char kIid_cDictionaries[] = "{54A50E05-1A74-4AE8-9556-CAD6BEC45059}";
inline constexpr char kIid_cDictionary[] = "{6ABDE3B6-9EF4-4C55-8910-FB09A6FA0F45}";

// Error number when CreateObject is given a name it does not know: the
// classic "ActiveX component can't create object" (429).
inline constexpr int32_t kErrCannotCreateObject = -2146827859;

// Base of the three creatable classes, so that CreateObject can hand out any
// of them. Copying is deleted in the classes themselves.
class QUILLON_EXPORT QuillonObject {
 public:
  virtual ~QuillonObject();
  virtual QString ProgId() const = 0;
  virtual QString ClassId() const = 0;
  virtual QString InterfaceId() const = 0;
};

// Creates a Convertor, cDictionaries or cDictionary by ProgID or class
// identifier (both compared without regard to case; braces optional for the
// identifier). Throws dataaccess::Error (kErrCannotCreateObject, source
// "Quillon.CreateObject") for any other name.
QUILLON_EXPORT std::shared_ptr<QuillonObject> CreateObject(const QString& progIdOrClassId);

// Same, typed: CreateObjectAs<Convertor>("Quillon.Convertor"). Throws the
// same error when the name creates an object of another class.
template <class T>
std::shared_ptr<T> CreateObjectAs(const QString& progIdOrClassId);

// Folder that holds libquillon.so (absolute, without a trailing "/"); the
// file loader resolves relative paths against it.
QUILLON_EXPORT QString LibraryFolder();

}  // namespace quillon

#include "dataaccess/error.h"

template <class T>
std::shared_ptr<T> quillon::CreateObjectAs(const QString& progIdOrClassId) {
  std::shared_ptr<T> typed = std::dynamic_pointer_cast<T>(CreateObject(progIdOrClassId));
  if (!typed)
    throw dataaccess::Error(kErrCannotCreateObject, QStringLiteral("Quillon.CreateObject"),
                            QStringLiteral("ActiveX component can't create object: '%1' is not of the requested class.")
                                .arg(progIdOrClassId));
  return typed;
}
