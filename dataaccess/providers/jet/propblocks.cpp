#include "propblocks.h"

#include <QtEndian>
#include <cstdint>

namespace dataaccess::jet {

namespace {

constexpr size_t kHeadSize = 4;   // "KKD\0" or "MR2\0"
constexpr size_t kBlockHead = 6;  // length (4) and type (2)
constexpr unsigned kColumnBlock = 0x01;

}  // namespace

std::string framedPropertyBlocks(std::string_view lvprop, bool ownOnly) {
  if (lvprop.size() < kHeadSize + kBlockHead) return {};
  const std::string_view head = lvprop.substr(0, kHeadSize);
  if (head != std::string_view("KKD\0", 4) && head != std::string_view("MR2\0", 4)) return {};
  std::string out(head);
  const auto* bytes = reinterpret_cast<const unsigned char*>(lvprop.data());
  size_t pos = kHeadSize;
  bool any = false;
  while (lvprop.size() - pos >= kBlockHead) {
    const uint32_t length = qFromLittleEndian<quint32>(bytes + pos);
    if (length < kBlockHead || length > lvprop.size() - pos) break;
    const unsigned type = qFromLittleEndian<quint16>(bytes + pos + 4);
    if (!(ownOnly && type == kColumnBlock)) {
      out.append(lvprop.substr(pos, length));
      any = true;
    }
    pos += length;
  }
  return any ? out : std::string();
}

}  // namespace dataaccess::jet
