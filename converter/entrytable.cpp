#include "entrytable.h"

#include "convertor.h"
#include "xmltextfile.h"

extern "C" const quillon::EntryTable* quillon_entry_table() {
  static const quillon::EntryTable table = {
      sizeof(quillon::EntryTable),
      &quillon::exportXml,
      &quillon::exportXmlTo,
      &quillon::encodeXmlText,
  };
  return &table;
}
