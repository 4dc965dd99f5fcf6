// The document of the document model: TDocument, which makes the nodes and
// owns their memory and their namespace URIs (TNamespaceURIList, over a
// TWStringList), and DomImplementation, which makes documents and document
// types.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "html/dom_arena.h"
#include "html/dom_element.h"
#include "html/dom_leaves.h"
#include "html/dom_node.h"
#include "html/wstrings.h"

namespace html {

// The namespace URIs of one document, each stored once; a node keeps the
// index. Entry 0 is the empty URI. The list only grows and is never sorted,
// so an index stays valid as long as the document.
class TNamespaceURIList {
 public:
  TNamespaceURIList();
  // The index of `uri`, appended first if it is new.
  int Intern(std::u16string_view uri);
  // -1 when `uri` is not in the list.
  int IndexOf(std::u16string_view uri) const { return uris_.IndexOf(uri); }
  // The URI at `index`; the empty string for an index out of range. The
  // reference holds until the list grows.
  const std::u16string& Get(int index) const;
  int Count() const { return uris_.GetCount(); }

 private:
  TWStringList uris_;
};

class TDocument : public TNode {
 public:
  ~TDocument() override;
  TDocument(const TDocument&) = delete;
  TDocument& operator=(const TDocument&) = delete;
  TDocument(TDocument&&) = delete;
  TDocument& operator=(TDocument&&) = delete;

  std::u16string nodeName() const override { return u"#document"; }
  int nodeType() const override { return DOCUMENT_NODE; }
  bool canInsert(const TNode* node) const override;
  // A new document with a copy of the document type and, with `deep`, copies
  // of all children (elements with their attributes).
  std::unique_ptr<TNode> cloneNode(bool deep) const override;

  TDocumentType* doctype() const { return doctype_.get(); }
  // Frees the current document type and keeps `doctype`. One that belongs
  // to another document is refused with WRONG_DOCUMENT_ERR (the caller
  // keeps it).
  void setDoctype(std::unique_ptr<TDocumentType>&& doctype);
  // The element child, or none.
  TElement* documentElement() const { return documentElement_; }
  const TNamespaceURIList& namespaceURIs() const { return namespaces_; }
  // The memory held for the document's nodes and their strings: the chunks
  // of its arena, blocks on free lists included; for measurements.
  std::size_t ArenaBytes() const noexcept { return arena_.ChunkBytes(); }

  std::unique_ptr<TElement> createElement(std::u16string_view tagName);
  std::unique_ptr<TElement> createElementNS(std::u16string_view namespaceURI,
                                            std::u16string_view qualifiedName);
  std::unique_ptr<TTextNode> createTextNode(std::u16string_view data);
  std::unique_ptr<TComment> createComment(std::u16string_view data);
  std::unique_ptr<TCDATASection> createCDATASection(std::u16string_view data);
  std::unique_ptr<TAttr> createAttribute(std::u16string_view name);
  std::unique_ptr<TEntityReference> createEntityReference(std::u16string_view name);

 private:
  friend class TNode;
  friend class TSearchNodeList;
  friend class DomImplementation;
  TDocument();
  std::unique_ptr<TNode> ShallowCopy(TDocument& document) const override;

  int InternNamespace(std::u16string_view uri) { return namespaces_.Intern(uri); }
  void Register(TSearchNodeList* list);
  void Unregister(TSearchNodeList* list) noexcept;
  bool HasListOwnedBy(const TNode* owner) const noexcept;
  void OrphanListsOwnedBy(const TNode* owner) noexcept;
  void ChildLinked(TNode* child) noexcept;
  void ChildUnlinked(const TNode* child) noexcept;

  // First, so that it goes last: the members below may hold nodes.
  TDomArena arena_;
  std::unique_ptr<TDocumentType> doctype_;
  TNamespaceURIList namespaces_;
  std::vector<TSearchNodeList*> searchLists_;
  // Counts changes of the tree; a search list is synchronized while its
  // version equals this.
  std::uint64_t treeVersion_ = 1;
  TElement* documentElement_ = nullptr;
};

// Creates documents and document types; it has no state.
class DomImplementation {
 public:
  static std::unique_ptr<TDocumentType> createDocumentType(std::u16string_view qualifiedName,
                                                           std::u16string_view publicId,
                                                           std::u16string_view systemId);
  // WRONG_DOCUMENT_ERR when `doctype` already belongs to a document (the
  // caller keeps it then).
  static std::unique_ptr<TDocument> createEmptyDocument(
      std::unique_ptr<TDocumentType>&& doctype = nullptr);
  static std::unique_ptr<TDocument> createDocument(
      std::u16string_view namespaceURI, std::u16string_view qualifiedName,
      std::unique_ptr<TDocumentType>&& doctype = nullptr);
};

// The members of TNode that reach into the arena of its document, here where
// TDocument is complete.

inline TDomArena* TNode::Arena() const noexcept {
  return (flags_ & kInArena) != 0 ? &ownerDocument_->arena_ : nullptr;
}

template <class T, class... Args>
std::unique_ptr<T> TNode::MakeNode(TDocument* document, Args&&... args) {
  static_assert(std::is_base_of_v<TNode, T> && sizeof(T) <= 0xFFFF);
  // The node's constructor takes the same choice for its strings (Arena).
  TDomArena* const arena = document != nullptr ? &document->arena_ : nullptr;
  void* const block = arena != nullptr ? arena->Allocate(sizeof(T)) : ::operator new(sizeof(T));
  try {
    std::unique_ptr<T> node(::new (block) T(std::forward<Args>(args)...));
    // Nothing after the construction throws, so the block is freed once.
    node->blockSize_ = arena != nullptr ? static_cast<std::uint16_t>(sizeof(T)) : 0;
    return node;
  } catch (...) {
    if (arena != nullptr) {
      arena->Deallocate(block, sizeof(T));
    } else {
      ::operator delete(block);
    }
    throw;
  }
}

}  // namespace html
