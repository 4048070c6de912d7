// Named text parameters for ADOXML_2_StandardXML: cDictionary is one
// key/value pair, cDictionaries an ordered collection of them with unique
// keys compared without regard to case, reached by 1-based position or by
// key. DictionaryToXML turns a collection into one element with a child per
// parameter.
#pragma once

#include "identity.h"
#include "quillonglobal.h"
#include "xmldocument.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

namespace quillon {

class QUILLON_EXPORT cDictionary : public QuillonObject {
 public:
  cDictionary() = default;
  cDictionary(const cDictionary&) = delete;
  cDictionary& operator=(const cDictionary&) = delete;

  const QString& Value() const { return value_; }
  void setValue(const QString& v) { value_ = v; }
  const QString& Key() const { return key_; }
  void setKey(const QString& k) { key_ = k; }

  QString ProgId() const override;
  QString ClassId() const override;
  QString InterfaceId() const override;

 private:
  QString value_;
  QString key_;
};

// Errors of the collection (the classic collection numbers).
inline constexpr int32_t kErrDuplicateKey = -2146827831;    // 457
inline constexpr int32_t kErrInvalidArgument = -2146828283;  // 5: key not present
inline constexpr int32_t kErrSubscriptOutOfRange = -2146828279;  // 9: position out of range

class QUILLON_EXPORT cDictionaries : public QuillonObject {
 public:
  using Items = std::vector<std::shared_ptr<cDictionary>>;

  cDictionaries() = default;
  cDictionaries(const cDictionaries&) = delete;
  cDictionaries& operator=(const cDictionaries&) = delete;

  // Adds a parameter at the end. Throws dataaccess::Error (kErrDuplicateKey)
  // when the key is present in any letter case; nothing is stored then.
  std::shared_ptr<cDictionary> Add(const QString& Key, const QString& Value);

  // The item at a 1-based position (a number) or under a key (a text).
  // Throws kErrSubscriptOutOfRange or kErrInvalidArgument.
  std::shared_ptr<cDictionary> Item(const QVariant& vntIndexKey) const;
  std::shared_ptr<cDictionary> Item(int position) const;
  std::shared_ptr<cDictionary> Item(const QString& key) const;
  std::shared_ptr<cDictionary> Item(const char* key) const { return Item(QString::fromUtf8(key)); }

  int32_t Count() const { return int32_t(items_.size()); }

  // Removes by 1-based position or key, with the errors of Item.
  void Remove(const QVariant& vntIndexKey);

  // Enumeration in the order of adding.
  Items::const_iterator begin() const { return items_.begin(); }
  Items::const_iterator end() const { return items_.end(); }
  const Items& NewEnum() const { return items_; }

  QString ProgId() const override;
  QString ClassId() const override;
  QString InterfaceId() const override;

 private:
  int indexOf(const QVariant& vntIndexKey, const char* what) const;

  Items items_;
  QHash<QString, std::shared_ptr<cDictionary>> byKey_;  // case-folded key
};

// Builds a document whose root element is named `entityName` and holds one
// child per item, in order, named by its Key with its Value as text. Every
// failure raises errDictionaryFailed (source "mXML.DictionaryToXML") with
// "mXML component failure on line <n>", CR LF, the trapped number, ":" and
// its description; line 110 is a bad entity name, line 150 a bad key.
QUILLON_EXPORT std::unique_ptr<XMLDocument> DictionaryToXML(const cDictionaries& dictionaries,
                                                            const QString& entityName);

}  // namespace quillon
