// The base of every node of the document model: TNode, with the tree links,
// the name and the child list that all nodes share, and TNodeChain, the
// ordered list of nodes threaded through the nodes themselves.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "html/dom_arena.h"

namespace html {

class TNode;
class TDocument;
class TNodeList;
class TNamedNodeMap;
class TSearchNodeList;

// The links of an ordered list of nodes threaded through the nodes
// themselves (a child list, or the attributes of an element). The first node
// and each node's next sibling own what follows them.
struct TNodeChain {
  std::unique_ptr<TNode> first;
  TNode* last = nullptr;

  // Puts `node` before `ref`, or at the end when `ref` is none.
  void InsertBefore(std::unique_ptr<TNode> node, TNode* ref) noexcept;
  std::unique_ptr<TNode> Unlink(TNode* node) noexcept;
  // Frees every node of the chain and all that hangs below them, without
  // recursion.
  void DestroyAll() noexcept;
};

class TNode {
 public:
  static constexpr int ELEMENT_NODE = 1;
  static constexpr int ATTRIBUTE_NODE = 2;
  static constexpr int TEXT_NODE = 3;
  static constexpr int CDATA_SECTION_NODE = 4;
  static constexpr int ENTITY_REFERENCE_NODE = 5;
  static constexpr int ENTITY_NODE = 6;
  static constexpr int PROCESSING_INSTRUCTION_NODE = 7;
  static constexpr int COMMENT_NODE = 8;
  static constexpr int DOCUMENT_NODE = 9;
  static constexpr int DOCUMENT_TYPE_NODE = 10;
  static constexpr int DOCUMENT_FRAGMENT_NODE = 11;
  static constexpr int NOTATION_NODE = 12;

  TNode(const TNode&) = delete;
  TNode& operator=(const TNode&) = delete;
  TNode(TNode&&) = delete;
  TNode& operator=(TNode&&) = delete;
  virtual ~TNode();

  // Deleting a node runs its destructor and gives its block back to where
  // MakeNode took it from: its document's arena or the heap.
  static void operator delete(TNode* node, std::destroying_delete_t) noexcept;

  // prefix ":" localName with a prefix, else localName; fixed names for
  // text, CDATA sections, comments and the document.
  virtual std::u16string nodeName() const;
  virtual std::u16string nodeValue() const;
  virtual int nodeType() const = 0;
  // None for an attribute (see TAttr::ownerElement).
  virtual TNode* parentNode() const;
  // Whether this node accepts `node` as a child, by node type.
  virtual bool canInsert(const TNode* node) const;
  // A copy made by `document` (NOT_SUPPORTED_ERR for documents and document
  // types); with `deep`, the subtree is copied too.
  virtual std::unique_ptr<TNode> importNode(TDocument* document, bool deep) const;
  // NO_MODIFICATION_ALLOWED_ERR unless the node holds data (character data,
  // attributes).
  virtual void setNodeValue(std::u16string_view value);
  virtual std::unique_ptr<TNode> cloneNode(bool deep) const = 0;

  TDocument* ownerDocument() const { return ownerDocument_; }
  // Never none: every node has a (possibly empty) child list.
  TNodeList* childNodes() const;
  // The attribute map of an element; none for every other node.
  TNamedNodeMap* attributes() const;
  // A copy: the document's list of URIs may grow and move its strings.
  std::u16string namespaceURI() const;
  std::u16string prefix() const;
  std::u16string localName() const;
  TNode* firstChild() const { return children_.first.get(); }
  TNode* lastChild() const { return children_.last; }
  TNode* previousSibling() const;
  TNode* nextSibling() const;
  bool hasChildNodes() const { return children_.first != nullptr; }

  // Moves `newChild`, a node that is already in a tree, before `refChild`
  // (to the end when `refChild` is none); returns `newChild`. A node without
  // a parent is given by its std::unique_ptr instead.
  TNode* insertBefore(TNode* newChild, TNode* refChild);
  // Inserts a free node; the tree takes it over. When the call raises, the
  // caller still owns it.
  template <class T>
  T* insertBefore(std::unique_ptr<T>&& newChild, TNode* refChild);
  TNode* appendChild(TNode* newChild) { return insertBefore(newChild, nullptr); }
  template <class T>
  T* appendChild(std::unique_ptr<T>&& newChild) {
    return insertBefore(std::move(newChild), nullptr);
  }
  // Takes `oldChild` out of the child list; the caller owns it.
  std::unique_ptr<TNode> removeChild(TNode* oldChild);
  // The live list of the elements below this node whose local name is `name`
  // ("*": every element), in document order.
  std::unique_ptr<TSearchNodeList> getElementsByTagName(std::u16string_view name);

 protected:
  // Node construction: `name` is split at its first colon into prefix and
  // local name when the node is namespace-aware; a non-empty `namespaceURI`
  // is interned in `document`.
  TNode(TDocument* document, bool namespaceAware, std::u16string_view name,
        std::u16string_view namespaceURI);
  // A node with a fixed name (character data, the document).
  explicit TNode(TDocument* document);
  // A copy's construction: the name of `source` exactly, its namespace URI
  // interned in `document`.
  TNode(TDocument* document, const TNode& source);

  // Every node is made here: in the arena of `document`, or on the heap when
  // there is none (a document, a document type made without one). Defined
  // in dom_document.h, as is Arena: both need the complete TDocument.
  template <class T, class... Args>
  static std::unique_ptr<T> MakeNode(TDocument* document, Args&&... args);

  // The stored name as given (for named nodes); character data keep their
  // value here instead.
  std::u16string_view RawData() const { return data_.View(); }
  void SetRawData(std::u16string_view data) { data_.Assign(data, Arena()); }
  std::u16string_view LocalNameView() const;
  std::u16string_view NodeNameView() const;
  // Where the node's block and its strings live; none for the heap.
  TDomArena* Arena() const noexcept;

  // A copy of this node alone (an element with its attributes, an attribute
  // with its children) made by `document`.
  virtual std::unique_ptr<TNode> ShallowCopy(TDocument& document) const = 0;
  // The copy of this node, and with `deep` of its subtree, made by
  // `document`; iterative.
  std::unique_ptr<TNode> CopyTree(TDocument& document, bool deep) const;

  // Empties the child list, freeing the children.
  void DestroyChildren() noexcept;
  // Appends without checks (copies of a valid tree).
  TNode* LinkLast(std::unique_ptr<TNode> child) noexcept;

 private:
  friend class TNodeList;
  friend class TNamedNodeMap;
  friend class TSearchNodeList;
  friend class TElement;
  friend class TAttr;
  friend class TDocument;
  friend class DomImplementation;
  friend struct TNodeChain;
  friend struct TAttributeStore;
  friend class TAttributeIndex;

  // flags_ bits.
  static constexpr std::uint16_t kOwnsSearchList = 1;
  static constexpr std::uint16_t kNamed = 2;  // data_ holds the name
  static constexpr std::uint16_t kIsElement = 4;
  static constexpr std::uint16_t kIsAttribute = 8;
  static constexpr std::uint16_t kIsDocument = 16;
  static constexpr std::uint16_t kInArena = 32;

  // kInArena for a node of `document` other than the document itself.
  static std::uint16_t ArenaFlag(const TDocument* document, const TNode* node) noexcept;
  void ClearFlags(std::uint16_t bits) noexcept {
    flags_ = static_cast<std::uint16_t>(flags_ & ~bits);
  }

  virtual TNamedNodeMap* AttributeMap() const { return nullptr; }
  // Steps of insertion before anything changes: every check in order.
  // False when nothing is to change (`newChild` is `refChild`).
  bool PrepareInsert(const TNode* newChild, const TNode* refChild) const;
  bool IsAncestorOrSelf(const TNode* node) const;
  bool IsChild(const TNode* node) const;
  void LinkChild(std::unique_ptr<TNode> child, TNode* refChild) noexcept;
  std::unique_ptr<TNode> UnlinkChild(TNode* child) noexcept;
  void ChildrenChanged() noexcept;
  void InvalidateSearchLists() const noexcept;

  TDocument* ownerDocument_;
  // The parent; for an attribute the element that holds it.
  TNode* parent_ = nullptr;
  // Sibling links of the chain the node is in (child list or attributes).
  std::unique_ptr<TNode> next_;
  TNode* prev_ = nullptr;
  TNodeChain children_;
  // The child list object, made on first request.
  mutable std::unique_ptr<TNodeList> childNodes_;
  std::uint32_t childCount_ = 0;
  std::int32_t namespaceIndex_ = 0;
  // Where the local name starts in data_: 0 without a prefix split, else one
  // past the first colon.
  std::uint32_t localStart_ = 0;
  std::uint16_t flags_ = 0;
  // The size of the node's block in the arena (see MakeNode).
  std::uint16_t blockSize_ = 0;
  TNodeText data_;
};

template <class T>
T* TNode::insertBefore(std::unique_ptr<T>&& newChild, TNode* refChild) {
  static_assert(std::is_base_of_v<TNode, T>);
  T* const node = newChild.get();
  if (PrepareInsert(node, refChild)) {
    LinkChild(std::move(newChild), refChild);
  }
  InvalidateSearchLists();
  return node;
}

}  // namespace html
