#include "html/dom_search.h"

#include <cstddef>
#include <limits>
#include <string_view>

#include "html/dom_document.h"

namespace html {

// --- TSearchNodeList ---

TSearchNodeList::TSearchNodeList(TNode* owner, std::u16string_view namespaceURI,
                                 std::u16string_view localName)
    : TNodeList(owner, nullptr, nullptr),
      namespaceFilter_(namespaceURI),
      localNameFilter_(localName) {
  if (owner != nullptr && owner->ownerDocument_ != nullptr) {
    document_ = owner->ownerDocument_;
    document_->Register(this);
    owner->flags_ |= TNode::kOwnsSearchList;
    version_ = document_->treeVersion_;
    walk_ = owner->firstChild();
  }
}

TSearchNodeList::~TSearchNodeList() {
  if (document_ != nullptr) {
    document_->Unregister(this);
    if (!document_->HasListOwnedBy(owner_)) {
      owner_->ClearFlags(TNode::kOwnsSearchList);
    }
  }
}

bool TSearchNodeList::synchronized() const {
  return document_ == nullptr || version_ == document_->treeVersion_;
}

int TSearchNodeList::length() const {
  Synchronize();
  FindUpTo(std::numeric_limits<std::size_t>::max());
  return static_cast<int>(items_.size());
}

TNode* TSearchNodeList::item(int index) const {
  if (index < 0) {
    return nullptr;
  }
  Synchronize();
  const auto wanted = static_cast<std::size_t>(index);
  FindUpTo(wanted + 1);
  return wanted < items_.size() ? items_[wanted] : nullptr;
}

bool TSearchNodeList::Matches(const TNode* node) const {
  if ((node->flags_ & TNode::kIsElement) == 0) {
    return false;
  }
  if (localNameFilter_ != u"*" && node->LocalNameView() != localNameFilter_) {
    return false;
  }
  return namespaceFilter_ == u"*" || node->namespaceURI() == namespaceFilter_;
}

void TSearchNodeList::Synchronize() const {
  if (synchronized()) {
    return;
  }
  items_.clear();
  walk_ = owner_->firstChild();
  version_ = document_->treeVersion_;
}

void TSearchNodeList::FindUpTo(std::size_t count) const {
  const TNode* node = walk_;
  while (node != nullptr && items_.size() < count) {
    if (Matches(node)) {
      items_.push_back(const_cast<TNode*>(node));
    }
    if (node->children_.first) {
      node = node->children_.first.get();
      continue;
    }
    while (node != owner_ && !node->next_) {
      node = node->parent_;
    }
    node = node == owner_ ? nullptr : node->next_.get();
  }
  walk_ = node;
}

void TSearchNodeList::Orphan() noexcept {
  document_ = nullptr;
  owner_ = nullptr;
  items_.clear();
  walk_ = nullptr;
}

}  // namespace html
