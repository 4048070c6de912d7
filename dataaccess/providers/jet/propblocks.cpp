#include "propblocks.h"

#include <cstdint>

namespace dataaccess::jet {

namespace {

constexpr size_t kHeadSize = 4;   // "KKD\0" or "MR2\0"
constexpr size_t kBlockHead = 6;  // length (4) and type (2)
constexpr unsigned kColumnBlock = 0x01;

uint32_t le32(const unsigned char* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

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
    const uint32_t length = le32(bytes + pos);
    if (length < kBlockHead || length > lvprop.size() - pos) break;
    const unsigned type = unsigned(bytes[pos + 4]) | unsigned(bytes[pos + 5]) << 8;
    if (!(ownOnly && type == kColumnBlock)) {
      out.append(lvprop.substr(pos, length));
      any = true;
    }
    pos += length;
  }
  return any ? out : std::string();
}

}  // namespace dataaccess::jet
