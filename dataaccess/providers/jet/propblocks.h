// The property blocks of an Access catalogue entry (its MSysObjects.LvProp
// value), sorted out before libmdb parses them.
//
// The value starts with "KKD\0" (Jet 3) or "MR2\0" (Jet 4 and later) and is
// a run of blocks, each a 32-bit length (counting its 6-byte head), a 16-bit
// type and a body: 0x80 the dictionary of property names, 0x00 the
// properties of the object itself (a table's Description), 0x01 those of one
// of its columns. libmdb walks the blocks trusting every length, and parsing
// a table's column blocks is most of the cost of reading the catalogue; a
// listing needs only the object's own block. So the catalogue keeps the raw
// value and hands libmdb the blocks a caller needs, framed and checked here.
#pragma once

#include <string>
#include <string_view>

namespace dataaccess::jet {

// The property value `lvprop` cut to its head and the blocks that lie wholly
// inside it, up to the first block whose length is impossible (under 6 or
// past the end); with `ownOnly`, column blocks (0x01) are left out. Empty
// when the value has no known head or no block.
std::string framedPropertyBlocks(std::string_view lvprop, bool ownOnly);

}  // namespace dataaccess::jet
