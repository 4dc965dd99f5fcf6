// The search lists of the document model: TSearchNodeList, the live result
// of getElementsByTagName.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "html/dom_lists.h"

namespace html {

// The live result of getElementsByTagName: it finds its items again, lazily,
// after the tree of its document has changed. Owns none of its items.
class TSearchNodeList : public TNodeList {
 public:
  ~TSearchNodeList() override;
  TSearchNodeList(const TSearchNodeList&) = delete;
  TSearchNodeList& operator=(const TSearchNodeList&) = delete;
  TSearchNodeList(TSearchNodeList&&) = delete;
  TSearchNodeList& operator=(TSearchNodeList&&) = delete;

  int length() const override;
  TNode* item(int index) const override;
  // Whether the items are current (no change of the tree since they were
  // found).
  bool synchronized() const;

 private:
  friend class TNode;
  friend class TDocument;
  TSearchNodeList(TNode* owner, std::u16string_view namespaceURI, std::u16string_view localName);

  bool Matches(const TNode* node) const;
  // Starts over when the tree has changed.
  void Synchronize() const;
  // Walks on until `count` items are found or the subtree is exhausted.
  void FindUpTo(std::size_t count) const;
  // The document died first: the list turns empty for good.
  void Orphan() noexcept;

  TDocument* document_ = nullptr;
  std::u16string namespaceFilter_;
  std::u16string localNameFilter_;
  std::size_t registryIndex_ = 0;
  mutable std::vector<TNode*> items_;
  // The next node of the document-order walk, none when it is complete.
  mutable const TNode* walk_ = nullptr;
  mutable std::uint64_t version_ = 0;
};

}  // namespace html
