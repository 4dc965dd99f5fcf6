// The lists and maps of the document model: TNodeList, the ordered list of
// nodes (a child list), and the attributes of an element as it keeps them
// (TAttributeStore, indexed by name with TAttributeIndex once there are many)
// and as it shows them (TNamedNodeMap).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "html/dom_node.h"

namespace html {

class TElement;
class TAttr;

// An ordered list of nodes, answering by 0-based index. A child list reads
// its owner's children; sequential reading forward or backward costs
// constant time per item.
class TNodeList {
 public:
  TNodeList(const TNodeList&) = delete;
  TNodeList& operator=(const TNodeList&) = delete;
  TNodeList(TNodeList&&) = delete;
  TNodeList& operator=(TNodeList&&) = delete;
  virtual ~TNodeList() = default;

  virtual int length() const;
  // None when `index` is negative or not below length.
  virtual TNode* item(int index) const;
  TNode* ownerNode() const { return owner_; }

 protected:
  TNodeList(TNode* owner, const TNodeChain* chain, const std::uint32_t* count)
      : owner_(owner), chain_(chain), count_(count) {}
  void ResetCursor() const noexcept {
    cursorNode_ = nullptr;
    cursorIndex_ = 0;
  }
  TNode* owner_;

 private:
  friend class TNode;
  const TNodeChain* chain_;
  const std::uint32_t* count_;
  // The item read last, where the next read starts walking.
  mutable TNode* cursorNode_ = nullptr;
  mutable std::uint32_t cursorIndex_ = 0;
};

// Attributes by name: open addressing over the names' hashes, so that a
// lookup touches one slot and compares a name only when the hashes agree.
// Each name is in it at most once.
class TAttributeIndex {
 public:
  static std::size_t Hash(std::u16string_view name) noexcept {
    return std::hash<std::u16string_view>{}(name);
  }
  TAttr* Find(std::u16string_view name, std::size_t hash) const noexcept;
  // `attr`, whose name has `hash`, must not be in the index yet.
  void Insert(TAttr* attr, std::size_t hash);
  void Erase(const TAttr* attr, std::size_t hash) noexcept;

 private:
  struct TSlot {
    std::size_t hash = 0;
    TAttr* attr = nullptr;  // none: the slot is free
  };
  std::size_t Home(std::size_t hash) const noexcept { return hash & (slots_.size() - 1); }
  std::size_t Next(std::size_t slot) const noexcept { return (slot + 1) & (slots_.size() - 1); }
  void Grow();

  // A power of two, at most half full.
  std::vector<TSlot> slots_;
  std::size_t count_ = 0;
};

// The attributes of an element as it keeps them: in the order they were
// added, each name at most once, with an index by name once there are many.
struct TAttributeStore {
  // Stores larger than this get a name index.
  static constexpr std::uint32_t kIndexThreshold = 16;

  TAttributeStore() = default;
  TAttributeStore(const TAttributeStore&) = delete;
  TAttributeStore& operator=(const TAttributeStore&) = delete;
  TAttributeStore(TAttributeStore&&) = delete;
  TAttributeStore& operator=(TAttributeStore&&) = delete;
  ~TAttributeStore() { chain.DestroyAll(); }

  TAttr* Find(std::u16string_view name) const;
  // Adds a checked attribute that `owner` is to hold; returns the one it
  // replaced.
  std::unique_ptr<TNode> Set(std::unique_ptr<TNode> node, TNode* owner);
  std::unique_ptr<TNode> Remove(TAttr* attr) noexcept;

  TNodeChain chain;
  std::uint32_t count = 0;
  std::unique_ptr<TAttributeIndex> index;
};

// The attributes of an element, in the order they were added. Each name is
// there at most once. A view of the element's own store, made on request.
class TNamedNodeMap : public TNodeList {
 public:
  ~TNamedNodeMap() override = default;
  TNamedNodeMap(const TNamedNodeMap&) = delete;
  TNamedNodeMap& operator=(const TNamedNodeMap&) = delete;
  TNamedNodeMap(TNamedNodeMap&&) = delete;
  TNamedNodeMap& operator=(TNamedNodeMap&&) = delete;

  // The item whose nodeName is `name`, or none.
  TNode* getNamedItem(std::u16string_view name) const;
  // Adds a free attribute, replacing the one of the same name, which is
  // returned (the caller owns it). When the call raises, the caller still
  // owns `node`.
  template <class T>
  std::unique_ptr<TNode> setNamedItem(std::unique_ptr<T>&& node);
  // The same for an attribute already held by some element: it is refused
  // with INUSE_ATTRIBUTE_ERR unless it is in this map, where it stays as it
  // is (none is returned).
  std::unique_ptr<TNode> setNamedItem(TNode* node);

 private:
  friend class TElement;
  TNamedNodeMap(TElement* owner, const TAttributeStore& store);
  TElement* Element() const;
  // The element's checks and its adding of an attribute, out of line:
  // TElement is incomplete here.
  bool PrepareSetItem(const TNode* node) const;
  std::unique_ptr<TNode> SetItem(std::unique_ptr<TNode> node);
};

template <class T>
std::unique_ptr<TNode> TNamedNodeMap::setNamedItem(std::unique_ptr<T>&& node) {
  static_assert(std::is_base_of_v<TNode, T>);
  if (!PrepareSetItem(node.get())) {
    return nullptr;
  }
  return SetItem(std::move(node));
}

}  // namespace html
