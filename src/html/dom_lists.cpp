#include "html/dom_lists.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "html/dom_detail.h"
#include "html/dom_element.h"

namespace html {

using detail::RejectFreeNode;

// --- TNodeList ---

int TNodeList::length() const {
  return static_cast<int>(*count_);
}

TNode* TNodeList::item(int index) const {
  const std::uint32_t count = *count_;
  if (index < 0 || static_cast<std::uint32_t>(index) >= count) {
    return nullptr;
  }
  const auto target = static_cast<std::uint32_t>(index);
  // Start from whichever of the first item, the last item and the item read
  // last is nearest.
  TNode* node = chain_->first.get();
  std::uint32_t at = 0;
  if (count - 1 - target < target) {
    node = chain_->last;
    at = count - 1;
  }
  if (cursorNode_ != nullptr) {
    const std::uint32_t fromCursor =
        cursorIndex_ > target ? cursorIndex_ - target : target - cursorIndex_;
    const std::uint32_t fromStart = at > target ? at - target : target - at;
    if (fromCursor < fromStart) {
      node = cursorNode_;
      at = cursorIndex_;
    }
  }
  for (; at < target; ++at) {
    node = node->next_.get();
  }
  for (; at > target; --at) {
    node = node->prev_;
  }
  cursorNode_ = node;
  cursorIndex_ = target;
  return node;
}

// --- TAttributeIndex ---

TAttr* TAttributeIndex::Find(std::u16string_view name, std::size_t hash) const noexcept {
  if (slots_.empty()) {
    return nullptr;
  }
  for (std::size_t slot = Home(hash); slots_[slot].attr != nullptr; slot = Next(slot)) {
    if (slots_[slot].hash == hash && slots_[slot].attr->NodeNameView() == name) {
      return slots_[slot].attr;
    }
  }
  return nullptr;
}

void TAttributeIndex::Insert(TAttr* attr, std::size_t hash) {
  if (2 * (count_ + 1) > slots_.size()) {
    Grow();
  }
  std::size_t slot = Home(hash);
  while (slots_[slot].attr != nullptr) {
    slot = Next(slot);
  }
  slots_[slot] = {hash, attr};
  ++count_;
}

void TAttributeIndex::Erase(const TAttr* attr, std::size_t hash) noexcept {
  std::size_t hole = Home(hash);
  for (; slots_[hole].attr != attr; hole = Next(hole)) {
    if (slots_[hole].attr == nullptr) {
      return;  // not in the index
    }
  }
  // Moves back each later entry of the run that may no longer be found
  // across the hole: one whose home is not between the hole and itself.
  for (std::size_t slot = Next(hole); slots_[slot].attr != nullptr; slot = Next(slot)) {
    const std::size_t home = Home(slots_[slot].hash);
    const bool reachable = hole < slot ? hole < home && home <= slot : hole < home || home <= slot;
    if (!reachable) {
      slots_[hole] = slots_[slot];
      hole = slot;
    }
  }
  slots_[hole] = {};
  --count_;
}

void TAttributeIndex::Grow() {
  std::vector<TSlot> old =
      std::exchange(slots_, std::vector<TSlot>(std::max<std::size_t>(64, slots_.size() * 2)));
  count_ = 0;
  for (const TSlot& entry : old) {
    if (entry.attr != nullptr) {
      Insert(entry.attr, entry.hash);
    }
  }
}

// --- TAttributeStore ---

TAttr* TAttributeStore::Find(std::u16string_view name) const {
  if (index) {
    return index->Find(name, TAttributeIndex::Hash(name));
  }
  for (TNode* attr = chain.first.get(); attr != nullptr; attr = attr->next_.get()) {
    if (attr->NodeNameView() == name) {
      return static_cast<TAttr*>(attr);
    }
  }
  return nullptr;
}

std::unique_ptr<TNode> TAttributeStore::Set(std::unique_ptr<TNode> node, TNode* owner) {
  auto* const attr = static_cast<TAttr*>(node.get());
  const std::u16string_view name = attr->NodeNameView();
  if (!index && count >= kIndexThreshold) {
    index = std::make_unique<TAttributeIndex>();
    for (TNode* item = chain.first.get(); item != nullptr; item = item->next_.get()) {
      index->Insert(static_cast<TAttr*>(item), TAttributeIndex::Hash(item->NodeNameView()));
    }
  }
  const std::size_t hash = index ? TAttributeIndex::Hash(name) : 0;
  std::unique_ptr<TNode> replaced;
  if (TAttr* const old = index ? index->Find(name, hash) : Find(name)) {
    replaced = Remove(old);
  }
  chain.InsertBefore(std::move(node), nullptr);
  ++count;
  attr->parent_ = owner;
  if (index) {
    index->Insert(attr, hash);
  }
  return replaced;
}

std::unique_ptr<TNode> TAttributeStore::Remove(TAttr* attr) noexcept {
  if (index) {
    index->Erase(attr, TAttributeIndex::Hash(attr->NodeNameView()));
  }
  std::unique_ptr<TNode> owned = chain.Unlink(attr);
  --count;
  owned->parent_ = nullptr;
  return owned;
}

// --- TNamedNodeMap ---

TNamedNodeMap::TNamedNodeMap(TElement* owner, const TAttributeStore& store)
    : TNodeList(owner, &store.chain, &store.count) {}

TElement* TNamedNodeMap::Element() const {
  return static_cast<TElement*>(owner_);
}

TNode* TNamedNodeMap::getNamedItem(std::u16string_view name) const {
  return Element()->attributeStore_.Find(name);
}

std::unique_ptr<TNode> TNamedNodeMap::setNamedItem(TNode* node) {
  if (!Element()->PrepareSetAttribute(node)) {
    return nullptr;
  }
  RejectFreeNode();
}

bool TNamedNodeMap::PrepareSetItem(const TNode* node) const {
  return Element()->PrepareSetAttribute(node);
}

std::unique_ptr<TNode> TNamedNodeMap::SetItem(std::unique_ptr<TNode> node) {
  return Element()->SetAttribute(std::move(node));
}

}  // namespace html
