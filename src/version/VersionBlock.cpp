#include "version/VersionBlock.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/ProgramResource.h"

namespace norvalis {

namespace {

constexpr std::size_t HeaderSize = 6;  // length, value length, type

constexpr std::size_t AlignUp(std::size_t offset) {
  return (offset + 3) & ~std::size_t{3};
}

std::uint16_t ReadWord(std::span<const std::uint8_t> block, std::size_t at) {
  return static_cast<std::uint16_t>(block[at] | block[at + 1] << 8);
}

char16_t FoldAscii(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

struct Node {
  std::size_t end = 0;  // one past the node's last byte
  std::size_t keyBegin = 0;
  std::size_t keyEnd = 0;
  std::size_t valueBegin = 0;
  std::size_t valueEnd = 0;
  std::size_t childrenBegin = 0;
  bool text = false;
};

// The node at offset, lying wholly before limit; nothing when it does not fit.
std::optional<Node> ReadNode(std::span<const std::uint8_t> block, std::size_t offset,
                             std::size_t limit) {
  if (limit > block.size() || offset > limit || limit - offset < HeaderSize) return std::nullopt;
  const std::size_t length = ReadWord(block, offset);
  if (length < HeaderSize || length > limit - offset) return std::nullopt;
  Node node;
  node.end = offset + length;
  const std::uint16_t valueLength = ReadWord(block, offset + 2);
  node.text = ReadWord(block, offset + 4) == 1;
  node.keyBegin = offset + HeaderSize;
  std::size_t at = node.keyBegin;
  while (true) {
    if (node.end - at < 2) return std::nullopt;  // no terminator inside the node
    if (ReadWord(block, at) == 0) break;
    at += 2;
  }
  node.keyEnd = at;
  node.valueBegin = std::min(AlignUp(at + 2), node.end);
  const std::size_t valueBytes = node.text ? std::size_t{valueLength} * 2 : valueLength;
  node.valueEnd = std::min(node.valueBegin + valueBytes, node.end);
  node.childrenBegin = std::min(AlignUp(node.valueEnd), node.end);
  return node;
}

bool KeyIs(std::span<const std::uint8_t> block, const Node& node, std::u16string_view key) {
  if (node.keyEnd - node.keyBegin != key.size() * 2) return false;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const auto c = static_cast<char16_t>(ReadWord(block, node.keyBegin + 2 * i));
    if (FoldAscii(c) != FoldAscii(key[i])) return false;
  }
  return true;
}

std::optional<Node> FindChild(std::span<const std::uint8_t> block, const Node& parent,
                              std::u16string_view key) {
  std::size_t at = parent.childrenBegin;
  while (at < parent.end) {
    const std::optional<Node> child = ReadNode(block, at, parent.end);
    if (!child) return std::nullopt;
    if (KeyIs(block, *child, key)) return child;
    at = AlignUp(child->end);
  }
  return std::nullopt;
}

}  // namespace

std::optional<VersionValue> QueryVersionValue(std::span<const std::uint8_t> block,
                                              std::u16string_view subBlock) {
  std::optional<Node> node = ReadNode(block, 0, block.size());
  if (!node || !KeyIs(block, *node, u"VS_VERSION_INFO")) return std::nullopt;
  while (!subBlock.empty()) {
    const std::size_t cut = subBlock.find(u'\\');
    const std::u16string_view part = subBlock.substr(0, cut);
    subBlock = cut == std::u16string_view::npos ? std::u16string_view() : subBlock.substr(cut + 1);
    if (part.empty()) continue;
    node = FindChild(block, *node, part);
    if (!node) return std::nullopt;
  }
  return VersionValue{block.subspan(node->valueBegin, node->valueEnd - node->valueBegin),
                      node->text};
}

std::u16string VersionText(const VersionValue& value) {
  std::u16string text;
  for (std::size_t at = 0; at + 1 < value.bytes.size(); at += 2) {
    const auto c = static_cast<char16_t>(ReadWord(value.bytes, at));
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

std::span<const std::uint8_t> ExecutableVersionData() {
  // Read once: the program's file does not change under it.
  static const std::optional<std::vector<std::uint8_t>> resource =
      platform::ProgramVersionResource();
  if (resource) return *resource;
  return CompiledVersionData();
}

}  // namespace norvalis
