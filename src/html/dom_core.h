// The document object model of the HTML side: a cut-down W3C DOM Level 2 Core
// tree of documents, elements, attributes, character data and entity
// references, with child lists, attribute maps and live search lists.
//
// Ownership. A factory of TDocument returns a node as std::unique_ptr: the
// caller owns it. Inserting it (insertBefore/appendChild with the
// unique_ptr) hands it to its new parent, and setAttributeNode/setNamedItem
// hand an attribute to its element. removeChild and a replaced attribute come
// back as std::unique_ptr: the caller owns them again. A node that is already
// in a tree moves by plain pointer. Destroying a node destroys its subtree
// and its attributes, iteratively, so any depth is safe; only nodes without a
// parent are destroyed by their owner. A search list belongs to the caller of
// getElementsByTagName and should be destroyed before its document (one that
// outlives it turns empty instead of dangling). Nodes live in the memory of
// their document (see TDomArena): a free node must be destroyed before its
// document.
//
// Names and values are UTF-16; every name comparison is exact, code unit by
// code unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "html/dom_arena.h"
#include "rtl/exceptions.h"

namespace html {

class TNode;
class TElement;
class TAttr;
class TTextNode;
class TCDATASection;
class TComment;
class TEntityReference;
class TDocumentType;
class TDocument;
class TNodeList;
class TNamedNodeMap;
class TSearchNodeList;

// A failure of a DOM operation: one of the W3C exception codes, with its
// standard text as the message.
class DomException : public rtl::Exception {
 public:
  static constexpr int INDEX_SIZE_ERR = 1;
  static constexpr int DOMSTRING_SIZE_ERR = 2;
  static constexpr int HIERARCHY_REQUEST_ERR = 3;
  static constexpr int WRONG_DOCUMENT_ERR = 4;
  static constexpr int INVALID_CHARACTER_ERR = 5;
  static constexpr int NO_DATA_ALLOWED_ERR = 6;
  static constexpr int NO_MODIFICATION_ALLOWED_ERR = 7;
  static constexpr int NOT_FOUND_ERR = 8;
  static constexpr int NOT_SUPPORTED_ERR = 9;
  static constexpr int INUSE_ATTRIBUTE_ERR = 10;
  static constexpr int INVALID_STATE_ERR = 11;
  static constexpr int SYNTAX_ERR = 12;
  static constexpr int INVALID_MODIFICATION_ERR = 13;
  static constexpr int NAMESPACE_ERR = 14;
  static constexpr int INVALID_ACCESS_ERR = 15;

  explicit DomException(int code);
  int code() const noexcept { return code_; }
  std::string_view ClassName() const noexcept override { return "DomException"; }

  // The standard text of a code from 1 to 15; empty for any other number.
  static std::string_view MessageOf(int code) noexcept;

 private:
  int code_;
};

// Hashes wide strings and their views alike, for lookups by view.
struct TWideHash {
  using is_transparent = void;
  std::size_t operator()(std::u16string_view s) const noexcept {
    return std::hash<std::u16string_view>{}(s);
  }
};

// The namespace URIs of one document, each stored once; a node keeps the
// index. Entry 0 is the empty URI. The list only grows.
class TNamespaceURIList {
 public:
  TNamespaceURIList();
  // The index of `uri`, appended first if it is new.
  int Intern(std::u16string_view uri);
  // -1 when `uri` is not in the list.
  int IndexOf(std::u16string_view uri) const;
  // The URI at `index`; the empty string for an index out of range.
  const std::u16string& Get(int index) const;
  int Count() const { return static_cast<int>(uris_.size()); }

 private:
  // Views into the stable strings of uris_.
  std::vector<std::unique_ptr<std::u16string>> uris_;
  std::unordered_map<std::u16string_view, int, TWideHash, std::equal_to<>> index_;
};

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
  const std::u16string& namespaceURI() const;
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
  // there is none (a document, a document type made without one).
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
};

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

class TElement : public TNode {
 public:
  ~TElement() override;
  TElement(const TElement&) = delete;
  TElement& operator=(const TElement&) = delete;
  TElement(TElement&&) = delete;
  TElement& operator=(TElement&&) = delete;

  int nodeType() const override { return ELEMENT_NODE; }
  bool canInsert(const TNode* node) const override;
  std::unique_ptr<TNode> importNode(TDocument* document, bool deep) const override;
  std::unique_ptr<TNode> cloneNode(bool deep) const override;

  // Adds a free attribute, replacing the one of the same name, which is
  // returned with no owner element (the caller owns it). When the call
  // raises, the caller still owns `attribute`.
  std::unique_ptr<TAttr> setAttributeNode(std::unique_ptr<TAttr>&& attribute);
  // An attribute held by an element: INUSE_ATTRIBUTE_ERR.
  std::unique_ptr<TAttr> setAttributeNode(TAttr* attribute);

 private:
  friend class TNode;
  friend class TDocument;
  friend class TNamedNodeMap;
  TElement(TDocument* document, bool namespaceAware, std::u16string_view name,
           std::u16string_view namespaceURI);
  TElement(TDocument* document, const TElement& source);
  TNamedNodeMap* AttributeMap() const override;
  std::unique_ptr<TNode> ShallowCopy(TDocument& document) const override;
  // The checks of adding `node`; false when this element holds it already.
  bool PrepareSetAttribute(const TNode* node) const;
  // Adds a checked free attribute; returns the one it replaced.
  std::unique_ptr<TNode> SetAttribute(std::unique_ptr<TNode> node);

  TAttributeStore attributeStore_;
  // The map view, made on first request.
  mutable std::unique_ptr<TNamedNodeMap> attributes_;
};

template <class T>
std::unique_ptr<TNode> TNamedNodeMap::setNamedItem(std::unique_ptr<T>&& node) {
  static_assert(std::is_base_of_v<TNode, T>);
  TElement* const element = Element();
  if (!element->PrepareSetAttribute(node.get())) {
    return nullptr;
  }
  return element->SetAttribute(std::move(node));
}

class TAttr : public TNode {
 public:
  TAttr(const TAttr&) = delete;
  TAttr& operator=(const TAttr&) = delete;
  TAttr(TAttr&&) = delete;
  TAttr& operator=(TAttr&&) = delete;
  ~TAttr() override = default;

  int nodeType() const override { return ATTRIBUTE_NODE; }
  // The text of the children, each entity reference read as its character.
  std::u16string nodeValue() const override;
  TNode* parentNode() const override { return nullptr; }
  bool canInsert(const TNode* node) const override;
  std::unique_ptr<TNode> importNode(TDocument* document, bool deep) const override;
  // Replaces (and frees) the children with one text node.
  void setNodeValue(std::u16string_view value) override;
  std::unique_ptr<TNode> cloneNode(bool deep) const override;

  TElement* ownerElement() const;

 private:
  friend class TNode;
  friend class TDocument;
  friend class TElement;
  TAttr(TDocument* document, std::u16string_view name);
  TAttr(TDocument* document, const TAttr& source);
  std::unique_ptr<TNode> ShallowCopy(TDocument& document) const override;
};

class TCharacterData : public TNode {
 public:
  TCharacterData(const TCharacterData&) = delete;
  TCharacterData& operator=(const TCharacterData&) = delete;
  TCharacterData(TCharacterData&&) = delete;
  TCharacterData& operator=(TCharacterData&&) = delete;
  ~TCharacterData() override = default;

  std::u16string nodeValue() const override { return std::u16string(RawData()); }
  void setNodeValue(std::u16string_view value) override;
  // The text, without a copy; valid until the text changes.
  std::u16string_view data() const { return RawData(); }

 protected:
  TCharacterData(TDocument* document, std::u16string_view data);
};

class TTextNode : public TCharacterData {
 public:
  TTextNode(const TTextNode&) = delete;
  TTextNode& operator=(const TTextNode&) = delete;
  TTextNode(TTextNode&&) = delete;
  TTextNode& operator=(TTextNode&&) = delete;
  ~TTextNode() override = default;

  std::u16string nodeName() const override { return u"#text"; }
  int nodeType() const override { return TEXT_NODE; }
  std::unique_ptr<TNode> importNode(TDocument* document, bool deep) const override;
  std::unique_ptr<TNode> cloneNode(bool deep) const override;

 protected:
  friend class TNode;
  friend class TDocument;
  TTextNode(TDocument* document, std::u16string_view data) : TCharacterData(document, data) {}

 private:
  std::unique_ptr<TNode> ShallowCopy(TDocument& document) const override;
};

class TCDATASection : public TTextNode {
 public:
  TCDATASection(const TCDATASection&) = delete;
  TCDATASection& operator=(const TCDATASection&) = delete;
  TCDATASection(TCDATASection&&) = delete;
  TCDATASection& operator=(TCDATASection&&) = delete;
  ~TCDATASection() override = default;

  std::u16string nodeName() const override { return u"#cdata-section"; }
  int nodeType() const override { return CDATA_SECTION_NODE; }
  std::unique_ptr<TNode> importNode(TDocument* document, bool deep) const override;
  std::unique_ptr<TNode> cloneNode(bool deep) const override;

 private:
  friend class TNode;
  friend class TDocument;
  TCDATASection(TDocument* document, std::u16string_view data) : TTextNode(document, data) {}
  std::unique_ptr<TNode> ShallowCopy(TDocument& document) const override;
};

class TComment : public TCharacterData {
 public:
  TComment(const TComment&) = delete;
  TComment& operator=(const TComment&) = delete;
  TComment(TComment&&) = delete;
  TComment& operator=(TComment&&) = delete;
  ~TComment() override = default;

  std::u16string nodeName() const override { return u"#comment"; }
  int nodeType() const override { return COMMENT_NODE; }
  std::unique_ptr<TNode> importNode(TDocument* document, bool deep) const override;
  std::unique_ptr<TNode> cloneNode(bool deep) const override;

 private:
  friend class TNode;
  friend class TDocument;
  TComment(TDocument* document, std::u16string_view data) : TCharacterData(document, data) {}
  std::unique_ptr<TNode> ShallowCopy(TDocument& document) const override;
};

class TEntityReference : public TNode {
 public:
  TEntityReference(const TEntityReference&) = delete;
  TEntityReference& operator=(const TEntityReference&) = delete;
  TEntityReference(TEntityReference&&) = delete;
  TEntityReference& operator=(TEntityReference&&) = delete;
  ~TEntityReference() override = default;

  int nodeType() const override { return ENTITY_REFERENCE_NODE; }
  std::unique_ptr<TNode> importNode(TDocument* document, bool deep) const override;
  std::unique_ptr<TNode> cloneNode(bool deep) const override;

 private:
  friend class TNode;
  friend class TDocument;
  TEntityReference(TDocument* document, std::u16string_view name);
  TEntityReference(TDocument* document, const TEntityReference& source);
  std::unique_ptr<TNode> ShallowCopy(TDocument& document) const override;
};

class TDocumentType : public TNode {
 public:
  TDocumentType(const TDocumentType&) = delete;
  TDocumentType& operator=(const TDocumentType&) = delete;
  TDocumentType(TDocumentType&&) = delete;
  TDocumentType& operator=(TDocumentType&&) = delete;
  ~TDocumentType() override = default;

  int nodeType() const override { return DOCUMENT_TYPE_NODE; }
  std::unique_ptr<TNode> cloneNode(bool deep) const override;

  const std::u16string& publicId() const { return publicId_; }
  const std::u16string& systemId() const { return systemId_; }

 private:
  friend class TNode;
  friend class TDocument;
  friend class DomImplementation;
  TDocumentType(TDocument* document, std::u16string_view name, std::u16string_view publicId,
                std::u16string_view systemId);
  TDocumentType(TDocument* document, const TDocumentType& source);
  std::unique_ptr<TNode> ShallowCopy(TDocument& document) const override;

  std::u16string publicId_;
  std::u16string systemId_;
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
