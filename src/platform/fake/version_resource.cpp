#include "platform/fake/version_resource.h"

#include <cstring>

#include "common/codepage.h"
#include "common/text.h"

namespace sv::fake {
namespace {

// Node layout: wLength, wValueLength, wType (1 text, 0 binary), the key as NUL-terminated
// UTF-16, padding to 4 bytes, the value (wValueLength bytes, or characters for text), padding
// to 4 bytes, then the child nodes, each starting on a 4-byte boundary.
constexpr std::size_t kHeaderBytes = 6;

std::size_t Align4(std::size_t offset) {
  return (offset + 3) & ~static_cast<std::size_t>(3);
}

class Writer {
 public:
  std::size_t Begin(std::u16string_view key, std::uint16_t type) {
    Pad();
    const std::size_t start = bytes_.size();
    Put16(0);  // length, patched by End
    Put16(0);  // value length, patched by Value
    Put16(type);
    for (const char16_t c : key)
      Put16(c);
    Put16(0);
    Pad();
    return start;
  }
  void BinaryValue(std::size_t node, const void* data, std::size_t size) {
    Patch(node + 2, static_cast<std::uint16_t>(size));
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
  }
  void TextValue(std::size_t node, std::u16string_view text) {
    Patch(node + 2, static_cast<std::uint16_t>(text.size() + 1));
    for (const char16_t c : text)
      Put16(c);
    Put16(0);
  }
  void End(std::size_t node) { Patch(node, static_cast<std::uint16_t>(bytes_.size() - node)); }
  std::vector<std::uint8_t> Take() { return std::move(bytes_); }

 private:
  void Put16(std::uint16_t v) {
    bytes_.push_back(static_cast<std::uint8_t>(v & 0xFF));
    bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void Pad() {
    while (bytes_.size() % 4 != 0)
      bytes_.push_back(0);
  }
  void Patch(std::size_t at, std::uint16_t v) {
    bytes_[at] = static_cast<std::uint8_t>(v & 0xFF);
    bytes_[at + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  std::vector<std::uint8_t> bytes_;
};

struct Node {
  std::size_t start = 0;
  std::size_t end = 0;  // one past the node
  std::uint16_t valueLength = 0;
  std::uint16_t type = 0;
  std::u16string key;
  std::size_t valueStart = 0;
  std::size_t childrenStart = 0;
};

class Reader {
 public:
  explicit Reader(const std::vector<std::uint8_t>& block) : block_(block) {}

  std::optional<Node> NodeAt(std::size_t start, std::size_t limit) const {
    if (start + kHeaderBytes > limit || limit > block_.size()) return std::nullopt;
    Node node;
    node.start = start;
    const std::uint16_t length = Get16(start);
    if (length < kHeaderBytes || start + length > limit) return std::nullopt;
    node.end = start + length;
    node.valueLength = Get16(start + 2);
    node.type = Get16(start + 4);
    std::size_t pos = start + kHeaderBytes;
    while (true) {
      if (pos + 2 > node.end) return std::nullopt;
      const std::uint16_t c = Get16(pos);
      pos += 2;
      if (c == 0) break;
      node.key += static_cast<char16_t>(c);
    }
    node.valueStart = Align4(pos);
    const std::size_t valueBytes =
        node.type == 1 ? static_cast<std::size_t>(node.valueLength) * 2 : node.valueLength;
    if (node.valueStart + valueBytes > node.end) {
      // Some writers count text in bytes; keep what fits instead of failing the block.
      node.valueLength = static_cast<std::uint16_t>(
          node.valueStart > node.end ? 0 : (node.end - node.valueStart) / (node.type == 1 ? 2 : 1));
    }
    const std::size_t fitted =
        node.type == 1 ? static_cast<std::size_t>(node.valueLength) * 2 : node.valueLength;
    node.childrenStart = Align4(node.valueStart + fitted);
    return node;
  }

  // The node that `subBlock` names, walking from the root.
  std::optional<Node> Find(std::string_view subBlock) const {
    auto node = NodeAt(0, block_.size());
    std::size_t pos = 0;
    while (node) {
      while (pos < subBlock.size() && subBlock[pos] == '\\')
        ++pos;
      if (pos >= subBlock.size()) return node;
      std::size_t next = subBlock.find('\\', pos);
      if (next == std::string_view::npos) next = subBlock.size();
      const std::string wanted(subBlock.substr(pos, next - pos));
      pos = next;
      node = Child(*node, wanted);
    }
    return std::nullopt;
  }

  std::uint16_t Get16(std::size_t at) const {
    return static_cast<std::uint16_t>(block_[at] | (block_[at + 1] << 8));
  }

 private:
  std::optional<Node> Child(const Node& parent, std::string_view wanted) const {
    std::size_t pos = parent.childrenStart;
    while (pos + kHeaderBytes <= parent.end) {
      const auto child = NodeAt(pos, parent.end);
      if (!child) return std::nullopt;
      if (SameTextAscii(Utf16ToUtf8(child->key), wanted)) return child;
      pos = Align4(child->end);
    }
    return std::nullopt;
  }

  const std::vector<std::uint8_t>& block_;
};

}  // namespace

std::vector<std::uint8_t> BuildVersionResource(const VersionResourceContent& content) {
  Writer w;
  const std::size_t root = w.Begin(u"VS_VERSION_INFO", 0);
  std::uint32_t fixed[13] = {};
  fixed[0] = 0xFEEF04BD;  // signature
  fixed[1] = 0x00010000;  // structure version
  fixed[2] = (static_cast<std::uint32_t>(content.fileVersion[0]) << 16) | content.fileVersion[1];
  fixed[3] = (static_cast<std::uint32_t>(content.fileVersion[2]) << 16) | content.fileVersion[3];
  fixed[4] = fixed[2];
  fixed[5] = fixed[3];
  fixed[8] = 0x00040004;  // VOS_NT_WINDOWS32
  fixed[9] = 1;           // VFT_APP
  w.BinaryValue(root, fixed, sizeof fixed);
  if (!content.stringTables.empty()) {
    const std::size_t info = w.Begin(u"StringFileInfo", 1);
    for (const auto& table : content.stringTables) {
      const std::size_t tableNode = w.Begin(Utf8ToUtf16(table.key), 1);
      for (const auto& [name, value] : table.strings) {
        const std::size_t entry = w.Begin(Utf8ToUtf16(name), 1);
        w.TextValue(entry, Utf8ToUtf16(value));
        w.End(entry);
      }
      w.End(tableNode);
    }
    w.End(info);
  }
  if (content.translations) {
    const std::size_t varInfo = w.Begin(u"VarFileInfo", 1);
    const std::size_t var = w.Begin(u"Translation", 0);
    std::vector<std::uint8_t> pairs;
    for (const std::uint32_t pair : *content.translations) {
      for (int i = 0; i < 4; ++i)
        pairs.push_back(static_cast<std::uint8_t>(pair >> (8 * i)));
    }
    w.BinaryValue(var, pairs.data(), pairs.size());
    w.End(var);
    w.End(varInfo);
  }
  w.End(root);
  return w.Take();
}

std::vector<std::uint32_t> ReadVersionTranslations(const std::vector<std::uint8_t>& block) {
  const Reader reader(block);
  const auto node = reader.Find("\\VarFileInfo\\Translation");
  if (!node || node->type == 1) return {};
  std::vector<std::uint32_t> pairs(node->valueLength / 4);
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const std::size_t at = node->valueStart + i * 4;
    pairs[i] = reader.Get16(at) | (static_cast<std::uint32_t>(reader.Get16(at + 2)) << 16);
  }
  return pairs;
}

std::optional<std::string> ReadVersionString(const std::vector<std::uint8_t>& block,
                                             std::string_view subBlock) {
  const Reader reader(block);
  const auto node = reader.Find(subBlock);
  if (!node || node->type != 1 || node->valueLength == 0) return std::nullopt;
  std::u16string text;
  for (std::size_t i = 0; i < node->valueLength; ++i) {
    const std::uint16_t c = reader.Get16(node->valueStart + 2 * i);
    if (c == 0) break;
    text += static_cast<char16_t>(c);
  }
  return Utf16ToUtf8(text);
}

}  // namespace sv::fake
