#include "dictionaries.h"

#include "convertorerrors.h"
#include "loaders.h"
#include "rowsettext.h"

#include "dataaccess/error.h"

#include <libxml/tree.h>
#include <libxml/valid.h>

namespace quillon {

QString cDictionary::ProgId() const { return QString::fromLatin1(kProgIdDictionary); }
QString cDictionary::ClassId() const { return QString::fromLatin1(kClsidDictionary); }
QString cDictionary::InterfaceId() const { return QString::fromLatin1(kIid_cDictionary); }

QString cDictionaries::ProgId() const { return QString::fromLatin1(kProgIdDictionaries); }
QString cDictionaries::ClassId() const { return QString::fromLatin1(kClsidDictionaries); }
QString cDictionaries::InterfaceId() const { return QString::fromLatin1(kIid_cDictionaries); }

std::shared_ptr<cDictionary> cDictionaries::Add(const QString& Key, const QString& Value) {
  auto item = std::make_shared<cDictionary>();
  item->setKey(Key);
  item->setValue(Value);
  const QString folded = Key.toCaseFolded();
  if (byKey_.contains(folded))
    throw dataaccess::Error(kErrDuplicateKey, QStringLiteral("cDictionaries.Add"),
                            QStringLiteral("This key is already associated with an element of this collection."));
  items_.push_back(item);
  byKey_.insert(folded, item);
  return item;
}

int cDictionaries::indexOf(const QVariant& vntIndexKey, const char* what) const {
  const QString source = QStringLiteral("cDictionaries.%1").arg(QLatin1String(what));
  if (vntIndexKey.typeId() == QMetaType::QString) {
    const auto found = byKey_.constFind(vntIndexKey.toString().toCaseFolded());
    if (found == byKey_.constEnd())
      throw dataaccess::Error(kErrInvalidArgument, source,
                              QStringLiteral("Invalid procedure call or argument: no item has the key '%1'.")
                                  .arg(vntIndexKey.toString()));
    for (size_t i = 0; i < items_.size(); ++i)
      if (items_[i] == found.value()) return int(i);
  }
  bool ok = false;
  const qlonglong position = vntIndexKey.toLongLong(&ok);
  if (!ok || position < 1 || position > qlonglong(items_.size()))
    throw dataaccess::Error(kErrSubscriptOutOfRange, source, QStringLiteral("Subscript out of range"));
  return int(position - 1);
}

std::shared_ptr<cDictionary> cDictionaries::Item(const QVariant& vntIndexKey) const {
  return items_[size_t(indexOf(vntIndexKey, "Item"))];
}

std::shared_ptr<cDictionary> cDictionaries::Item(int position) const { return Item(QVariant(position)); }

std::shared_ptr<cDictionary> cDictionaries::Item(const QString& key) const { return Item(QVariant(key)); }

void cDictionaries::Remove(const QVariant& vntIndexKey) {
  const int i = indexOf(vntIndexKey, "Remove");
  byKey_.remove(items_[size_t(i)]->Key().toCaseFolded());
  items_.erase(items_.begin() + i);
}

namespace {

constexpr int32_t kInvalidName = -2147467259;  // the DOM's failure number

xmlNodePtr newElement(xmlDocPtr doc, const QString& name) {
  const QByteArray utf8 = name.toUtf8();
  // No colon either: a prefix would name an undeclared namespace.
  if (name.isEmpty() || xmlValidateNCName(BAD_CAST utf8.constData(), 0) != 0)
    throw dataaccess::Error(kInvalidName, QStringLiteral("XMLDocument.createElement"),
                            QStringLiteral("'%1' is not a valid XML element name.").arg(name));
  xmlNodePtr node = xmlNewDocNode(doc, nullptr, BAD_CAST utf8.constData(), nullptr);
  if (!node) throw std::bad_alloc();
  return node;
}

}  // namespace

std::unique_ptr<XMLDocument> DictionaryToXML(const cDictionaries& dictionaries, const QString& entityName) {
  int line = 0;
  try {
    line = 100;
    std::unique_ptr<XMLDocument> doc = CreateXMLObject();
    doc->reset(xmlNewDoc(BAD_CAST "1.0"));
    if (!doc->handle()) throw std::bad_alloc();
    line = 110;
    xmlNodePtr root = newElement(doc->handle(), entityName);
    line = 120;
    xmlDocSetRootElement(doc->handle(), root);
    line = 130;
    line = 140;
    for (const std::shared_ptr<cDictionary>& item : dictionaries) {
      line = 150;
      std::unique_ptr<xmlNode, void (*)(xmlNodePtr)> child(newElement(doc->handle(), item->Key()), xmlFreeNode);
      line = 160;
      // Text is stored as it is (serialisation escapes it), less the
      // characters XML 1.0 cannot carry at all.
      const QByteArray value = withoutNonXmlCharacters(dictionaries.Item(item->Key())->Value()).toUtf8();
      xmlNodeAddContentLen(child.get(), BAD_CAST value.constData(), int(value.size()));
      line = 170;
      xmlAddChild(root, child.release());
      line = 140;
    }
    line = 180;
    return doc;
  } catch (...) {
    const dataaccess::Error trapped = currentExceptionAsError(QString::fromLatin1(kSourceDictionaryToXML));
    QString description = QStringLiteral("mXML component failure");
    if (line != 0) description += QStringLiteral(" on line %1").arg(line);
    description += QStringLiteral("\r\n%1:%2").arg(trapped.number()).arg(trapped.description());
    throw dataaccess::Error(errDictionaryFailed, QString::fromLatin1(kSourceDictionaryToXML), description);
  }
}

}  // namespace quillon
