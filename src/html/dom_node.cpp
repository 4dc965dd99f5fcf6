#include "html/dom_node.h"

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "html/dom_detail.h"
#include "html/dom_document.h"
#include "html/dom_exception.h"
#include "html/dom_lists.h"
#include "html/dom_search.h"

namespace html {

using detail::Raise;
using detail::RejectFreeNode;

// --- TNodeChain ---

void TNodeChain::InsertBefore(std::unique_ptr<TNode> node, TNode* ref) noexcept {
  TNode* const raw = node.get();
  if (ref == nullptr) {
    raw->prev_ = last;
    (last != nullptr ? last->next_ : first) = std::move(node);
    last = raw;
    return;
  }
  TNode* const before = ref->prev_;
  std::unique_ptr<TNode>& slot = before != nullptr ? before->next_ : first;
  raw->next_ = std::move(slot);
  raw->prev_ = before;
  ref->prev_ = raw;
  slot = std::move(node);
}

std::unique_ptr<TNode> TNodeChain::Unlink(TNode* node) noexcept {
  TNode* const before = node->prev_;
  std::unique_ptr<TNode>& slot = before != nullptr ? before->next_ : first;
  std::unique_ptr<TNode> owned = std::move(slot);
  slot = std::move(owned->next_);
  if (slot) {
    slot->prev_ = before;
  } else {
    last = before;
  }
  owned->prev_ = nullptr;
  return owned;
}

void TNodeChain::DestroyAll() noexcept {
  // The children of each node are spliced in right after it before it is
  // freed, so no node is freed while it still holds a subtree.
  std::unique_ptr<TNode> current = std::move(first);
  last = nullptr;
  while (current) {
    TNode& node = *current;
    if (node.children_.first) {
      node.children_.last->next_ = std::move(node.next_);
      node.next_ = std::move(node.children_.first);
      node.children_.last = nullptr;
      node.childCount_ = 0;
    }
    current = std::move(node.next_);
  }
}

// --- TNode ---

std::uint16_t TNode::ArenaFlag(const TDocument* document, const TNode* node) noexcept {
  // As MakeNode chooses: the document itself lives on the heap.
  return document != nullptr && document != node ? kInArena : 0;
}

TNode::TNode(TDocument* document, bool namespaceAware, std::u16string_view name,
             std::u16string_view namespaceURI)
    : ownerDocument_(document), flags_(kNamed | ArenaFlag(document, this)) {
  data_.Assign(name, Arena());
  if (!namespaceURI.empty() && document != nullptr) {
    namespaceIndex_ = document->InternNamespace(namespaceURI);
  }
  if (namespaceAware) {
    if (const auto colon = name.find(u':'); colon != std::u16string_view::npos) {
      localStart_ = static_cast<std::uint32_t>(colon + 1);
    }
  }
}

TNode::TNode(TDocument* document) : ownerDocument_(document), flags_(ArenaFlag(document, this)) {}

TNode::TNode(TDocument* document, const TNode& source)
    : ownerDocument_(document),
      localStart_(source.localStart_),
      flags_((source.flags_ & kNamed) | ArenaFlag(document, this)) {
  data_.Assign(source.RawData(), Arena());
  if (source.namespaceIndex_ != 0 && document != nullptr) {
    namespaceIndex_ = document == source.ownerDocument_
                          ? source.namespaceIndex_
                          : document->InternNamespace(source.namespaceURI());
  }
}

TNode::~TNode() {
  if ((flags_ & kOwnsSearchList) != 0 && ownerDocument_ != nullptr) {
    ownerDocument_->OrphanListsOwnedBy(this);
  }
  DestroyChildren();
  data_.Release(Arena());
}

void TNode::operator delete(TNode* node, std::destroying_delete_t) noexcept {
  TDomArena* const arena = node->Arena();
  const std::size_t size = node->blockSize_;
  node->~TNode();
  if (arena != nullptr) {
    arena->Deallocate(node, size);
  } else {
    ::operator delete(node);
  }
}

std::u16string TNode::nodeName() const {
  return std::u16string(NodeNameView());
}

std::u16string TNode::nodeValue() const {
  return {};
}

TNode* TNode::parentNode() const {
  return parent_;
}

bool TNode::canInsert(const TNode* /*node*/) const {
  return false;
}

std::unique_ptr<TNode> TNode::importNode(TDocument* /*document*/, bool /*deep*/) const {
  Raise(DomException::NOT_SUPPORTED_ERR);
}

void TNode::setNodeValue(std::u16string_view /*value*/) {
  Raise(DomException::NO_MODIFICATION_ALLOWED_ERR);
}

TNodeList* TNode::childNodes() const {
  if (!childNodes_) {
    // The list reads this node's children; it changes nothing through them.
    childNodes_ = std::unique_ptr<TNodeList>(
        new TNodeList(const_cast<TNode*>(this), &children_, &childCount_));
  }
  return childNodes_.get();
}

TNamedNodeMap* TNode::attributes() const {
  return AttributeMap();
}

std::u16string TNode::namespaceURI() const {
  if (namespaceIndex_ == 0 || ownerDocument_ == nullptr) {
    return {};
  }
  return ownerDocument_->namespaces_.Get(namespaceIndex_);
}

std::u16string TNode::prefix() const {
  if (localStart_ == 0) {
    return {};
  }
  return std::u16string(RawData().substr(0, localStart_ - 1));
}

std::u16string TNode::localName() const {
  return std::u16string(LocalNameView());
}

std::u16string_view TNode::LocalNameView() const {
  if ((flags_ & kNamed) == 0) {
    return {};
  }
  return RawData().substr(localStart_);
}

std::u16string_view TNode::NodeNameView() const {
  // With a non-empty prefix the stored name is prefix ":" localName already.
  return localStart_ == 1 ? LocalNameView() : RawData();
}

TNode* TNode::previousSibling() const {
  return (flags_ & kIsAttribute) != 0 ? nullptr : prev_;
}

TNode* TNode::nextSibling() const {
  return (flags_ & kIsAttribute) != 0 ? nullptr : next_.get();
}

bool TNode::IsChild(const TNode* node) const {
  // An attribute's parent field names its element, but it is never a child.
  return node != nullptr && node->parent_ == this && (node->flags_ & kIsAttribute) == 0;
}

bool TNode::IsAncestorOrSelf(const TNode* node) const {
  if (node == this) {
    return true;
  }
  // Saves the walk up for every fresh node, which is what a tree builder
  // inserts: a node without children is nobody's ancestor.
  if (!node->hasChildNodes()) {
    return false;
  }
  for (const TNode* up = parentNode(); up != nullptr; up = up->parentNode()) {
    if (up == node) {
      return true;
    }
  }
  return false;
}

bool TNode::PrepareInsert(const TNode* newChild, const TNode* refChild) const {
  if (newChild == nullptr) {
    Raise(DomException::NOT_FOUND_ERR);
  }
  if (newChild->ownerDocument_ != ownerDocument_) {
    Raise(DomException::WRONG_DOCUMENT_ERR);
  }
  if (!canInsert(newChild) || IsAncestorOrSelf(newChild)) {
    Raise(DomException::HIERARCHY_REQUEST_ERR);
  }
  if (newChild == refChild) {
    return false;
  }
  if (refChild != nullptr && !IsChild(refChild)) {
    Raise(DomException::NOT_FOUND_ERR);
  }
  return true;
}

TNode* TNode::insertBefore(TNode* newChild, TNode* refChild) {
  if (PrepareInsert(newChild, refChild)) {
    TNode* const parent = newChild->parent_;
    if (parent == nullptr) {
      RejectFreeNode();
    }
    LinkChild(parent->UnlinkChild(newChild), refChild);
  }
  InvalidateSearchLists();
  return newChild;
}

std::unique_ptr<TNode> TNode::removeChild(TNode* oldChild) {
  if (!IsChild(oldChild)) {
    Raise(DomException::NOT_FOUND_ERR);
  }
  std::unique_ptr<TNode> owned = UnlinkChild(oldChild);
  InvalidateSearchLists();
  return owned;
}

std::unique_ptr<TSearchNodeList> TNode::getElementsByTagName(std::u16string_view name) {
  return std::unique_ptr<TSearchNodeList>(new TSearchNodeList(this, u"*", name));
}

void TNode::LinkChild(std::unique_ptr<TNode> child, TNode* refChild) noexcept {
  TNode* const raw = child.get();
  children_.InsertBefore(std::move(child), refChild);
  raw->parent_ = this;
  ++childCount_;
  ChildrenChanged();
  if ((flags_ & kIsDocument) != 0) {
    static_cast<TDocument*>(this)->ChildLinked(raw);
  }
}

TNode* TNode::LinkLast(std::unique_ptr<TNode> child) noexcept {
  TNode* const raw = child.get();
  LinkChild(std::move(child), nullptr);
  return raw;
}

std::unique_ptr<TNode> TNode::UnlinkChild(TNode* child) noexcept {
  std::unique_ptr<TNode> owned = children_.Unlink(child);
  owned->parent_ = nullptr;
  --childCount_;
  ChildrenChanged();
  if ((flags_ & kIsDocument) != 0) {
    static_cast<TDocument*>(this)->ChildUnlinked(owned.get());
  }
  return owned;
}

void TNode::DestroyChildren() noexcept {
  if (!children_.first) {
    return;
  }
  children_.DestroyAll();
  childCount_ = 0;
  ChildrenChanged();
  if ((flags_ & kIsDocument) != 0) {
    static_cast<TDocument*>(this)->documentElement_ = nullptr;
  }
}

void TNode::ChildrenChanged() noexcept {
  if (childNodes_) {
    childNodes_->ResetCursor();
  }
}

void TNode::InvalidateSearchLists() const noexcept {
  if (ownerDocument_ != nullptr) {
    ++ownerDocument_->treeVersion_;
  }
}

std::unique_ptr<TNode> TNode::CopyTree(TDocument& document, bool deep) const {
  std::unique_ptr<TNode> root = ShallowCopy(document);
  if (!deep) {
    return root;
  }
  // Walks the source in document order; `target` is the copy of the
  // source node's parent.
  const TNode* source = children_.first.get();
  TNode* target = root.get();
  while (source != nullptr) {
    TNode* const copy = target->LinkLast(source->ShallowCopy(document));
    if (source->children_.first) {
      source = source->children_.first.get();
      target = copy;
      continue;
    }
    while (!source->next_) {
      source = source->parent_;
      if (source == this) {
        return root;
      }
      target = target->parent_;
    }
    source = source->next_.get();
  }
  return root;
}

}  // namespace html
