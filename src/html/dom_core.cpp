#include "html/dom_core.h"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

#include "html/entities.h"

namespace html {

namespace {

constexpr std::array<std::string_view, 15> kMessages = {
    "Index or size is negative, or greater than the allowed value",
    "The specified range of text does not fit into a DOMString",
    "Node is inserted somewhere it doesn't belong ",
    "Node is used in a different document than the one that created it",
    "Invalid or illegal character is specified, such as in a name",
    "Data is specified for a node which does not support data",
    "An attempt is made to modify an object where modifications are not allowed",
    "An attempt is made to reference a node in a context where it does not exist",
    "Implementation does not support the requested type of object or operation",
    "An attempt is made to add an attribute that is already in use elsewhere",
    "An attempt is made to use an object that is not, or is no longer, usable",
    "An invalid or illegal string is specified",
    "An attempt is made to modify the type of the underlying object",
    "An attempt is made to create or change an object in a way which is incorrect with regard "
    "to namespaces",
    "A parameter or an operation is not supported by the underlying object",
};

[[noreturn]] void Raise(int code) {
  throw DomException(code);
}

const std::u16string& EmptyString() {
  static const std::u16string empty;
  return empty;
}

// The pointer forms of insertion move nodes that already have an owner; a
// free node would be adopted behind its owner's back.
[[noreturn]] void RejectFreeNode() {
  throw rtl::EAssertionFailed("a node without an owner is handed over by its std::unique_ptr");
}

}  // namespace

// --- DomException ---

DomException::DomException(int code) : rtl::Exception(std::string(MessageOf(code))), code_(code) {}

std::string_view DomException::MessageOf(int code) noexcept {
  if (code < 1 || code > static_cast<int>(kMessages.size())) {
    return {};
  }
  return kMessages[static_cast<std::size_t>(code - 1)];
}

// --- TNamespaceURIList ---

TNamespaceURIList::TNamespaceURIList() {
  Intern(u"");
}

int TNamespaceURIList::Intern(std::u16string_view uri) {
  if (const auto found = index_.find(uri); found != index_.end()) {
    return found->second;
  }
  const int index = Count();
  uris_.push_back(std::make_unique<std::u16string>(uri));
  index_.emplace(*uris_.back(), index);
  return index;
}

int TNamespaceURIList::IndexOf(std::u16string_view uri) const {
  const auto found = index_.find(uri);
  return found == index_.end() ? -1 : found->second;
}

const std::u16string& TNamespaceURIList::Get(int index) const {
  if (index < 0 || index >= Count()) {
    return EmptyString();
  }
  return *uris_[static_cast<std::size_t>(index)];
}

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

const std::u16string& TNode::namespaceURI() const {
  if (namespaceIndex_ == 0 || ownerDocument_ == nullptr) {
    return EmptyString();
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

// --- TNamedNodeMap ---

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

// --- TElement ---

TElement::TElement(TDocument* document, bool namespaceAware, std::u16string_view name,
                   std::u16string_view namespaceURI)
    : TNode(document, namespaceAware, name, namespaceURI) {
  flags_ |= kIsElement;
}

TElement::TElement(TDocument* document, const TElement& source) : TNode(document, source) {
  flags_ |= kIsElement;
}

TElement::~TElement() = default;

bool TElement::canInsert(const TNode* node) const {
  // Attributes are refused too: one held by a map or a child list would
  // otherwise be owned twice.
  switch (node->nodeType()) {
    case ATTRIBUTE_NODE:
    case ENTITY_NODE:
    case DOCUMENT_NODE:
    case DOCUMENT_TYPE_NODE:
    case NOTATION_NODE:
      return false;
    default:
      return true;
  }
}

std::unique_ptr<TNode> TElement::importNode(TDocument* document, bool deep) const {
  if (document == nullptr) {
    Raise(DomException::NOT_SUPPORTED_ERR);
  }
  return CopyTree(*document, deep);
}

std::unique_ptr<TNode> TElement::cloneNode(bool deep) const {
  return CopyTree(*ownerDocument(), deep);
}

std::unique_ptr<TNode> TElement::ShallowCopy(TDocument& document) const {
  std::unique_ptr<TElement> copy = MakeNode<TElement>(&document, &document, *this);
  for (const TNode* attr = attributeStore_.chain.first.get(); attr != nullptr;
       attr = attr->next_.get()) {
    copy->SetAttribute(attr->CopyTree(document, true));
  }
  return copy;
}

TNamedNodeMap* TElement::AttributeMap() const {
  if (!attributes_) {
    // The map reads this element's attributes; it changes them only through
    // the element's own operations.
    attributes_ = std::unique_ptr<TNamedNodeMap>(
        new TNamedNodeMap(const_cast<TElement*>(this), attributeStore_));
  }
  return attributes_.get();
}

bool TElement::PrepareSetAttribute(const TNode* node) const {
  if (node == nullptr) {
    Raise(DomException::NOT_FOUND_ERR);
  }
  if (node->ownerDocument_ != ownerDocument_) {
    Raise(DomException::WRONG_DOCUMENT_ERR);
  }
  // Only attributes live here; any other node would be owned twice.
  if ((node->flags_ & TNode::kIsAttribute) == 0) {
    Raise(DomException::HIERARCHY_REQUEST_ERR);
  }
  if (node->parent_ != nullptr) {
    if (node->parent_ != this) {
      Raise(DomException::INUSE_ATTRIBUTE_ERR);
    }
    return false;
  }
  return true;
}

std::unique_ptr<TNode> TElement::SetAttribute(std::unique_ptr<TNode> node) {
  std::unique_ptr<TNode> replaced = attributeStore_.Set(std::move(node), this);
  if (attributes_) {
    attributes_->ResetCursor();
  }
  return replaced;
}

std::unique_ptr<TAttr> TElement::setAttributeNode(std::unique_ptr<TAttr>&& attribute) {
  if (attribute != nullptr && attribute->parent_ != nullptr) {
    Raise(DomException::INUSE_ATTRIBUTE_ERR);
  }
  PrepareSetAttribute(attribute.get());
  std::unique_ptr<TNode> replaced = SetAttribute(std::move(attribute));
  return std::unique_ptr<TAttr>(static_cast<TAttr*>(replaced.release()));
}

std::unique_ptr<TAttr> TElement::setAttributeNode(TAttr* attribute) {
  if (attribute != nullptr && attribute->parent_ != nullptr) {
    Raise(DomException::INUSE_ATTRIBUTE_ERR);
  }
  PrepareSetAttribute(attribute);
  RejectFreeNode();
}

// --- TAttr ---

TAttr::TAttr(TDocument* document, std::u16string_view name) : TNode(document, false, name, u"") {
  flags_ |= kIsAttribute;
}

TAttr::TAttr(TDocument* document, const TAttr& source) : TNode(document, source) {
  flags_ |= kIsAttribute;
}

bool TAttr::canInsert(const TNode* node) const {
  const int type = node->nodeType();
  return type == TEXT_NODE || type == ENTITY_REFERENCE_NODE;
}

std::u16string TAttr::nodeValue() const {
  std::size_t length = 0;
  for (const TNode* child = firstChild(); child != nullptr; child = child->next_.get()) {
    const int type = child->nodeType();
    if (type == TEXT_NODE) {
      length += child->RawData().size();
    } else if (type == ENTITY_REFERENCE_NODE) {
      ++length;
    }
  }
  std::u16string value;
  value.reserve(length);
  for (const TNode* child = firstChild(); child != nullptr; child = child->next_.get()) {
    const int type = child->nodeType();
    if (type == TEXT_NODE) {
      value += child->RawData();
    } else if (type == ENTITY_REFERENCE_NODE) {
      // Entity names are ASCII, so the lookup by the wide name equals the
      // lookup by its 8-bit form.
      value += static_cast<char16_t>(GetEntityValue(child->NodeNameView()));
    }
  }
  return value;
}

void TAttr::setNodeValue(std::u16string_view value) {
  std::unique_ptr<TTextNode> text = ownerDocument()->createTextNode(value);
  // The old children are freed: nothing refers to them afterwards.
  DestroyChildren();
  appendChild(std::move(text));
}

std::unique_ptr<TNode> TAttr::importNode(TDocument* document, bool /*deep*/) const {
  if (document == nullptr) {
    Raise(DomException::NOT_SUPPORTED_ERR);
  }
  return CopyTree(*document, true);
}

std::unique_ptr<TNode> TAttr::cloneNode(bool /*deep*/) const {
  return CopyTree(*ownerDocument(), true);
}

TElement* TAttr::ownerElement() const {
  return static_cast<TElement*>(parent_);
}

std::unique_ptr<TNode> TAttr::ShallowCopy(TDocument& document) const {
  return MakeNode<TAttr>(&document, &document, *this);
}

// --- Character data ---

TCharacterData::TCharacterData(TDocument* document, std::u16string_view data) : TNode(document) {
  SetRawData(data);
}

void TCharacterData::setNodeValue(std::u16string_view value) {
  SetRawData(value);
}

std::unique_ptr<TNode> TTextNode::importNode(TDocument* document, bool deep) const {
  if (document == nullptr) {
    Raise(DomException::NOT_SUPPORTED_ERR);
  }
  return CopyTree(*document, deep);
}

std::unique_ptr<TNode> TTextNode::cloneNode(bool deep) const {
  return CopyTree(*ownerDocument(), deep);
}

std::unique_ptr<TNode> TTextNode::ShallowCopy(TDocument& document) const {
  return document.createTextNode(data());
}

std::unique_ptr<TNode> TCDATASection::importNode(TDocument* document, bool deep) const {
  if (document == nullptr) {
    Raise(DomException::NOT_SUPPORTED_ERR);
  }
  return CopyTree(*document, deep);
}

std::unique_ptr<TNode> TCDATASection::cloneNode(bool deep) const {
  return CopyTree(*ownerDocument(), deep);
}

std::unique_ptr<TNode> TCDATASection::ShallowCopy(TDocument& document) const {
  return document.createCDATASection(data());
}

std::unique_ptr<TNode> TComment::importNode(TDocument* document, bool deep) const {
  if (document == nullptr) {
    Raise(DomException::NOT_SUPPORTED_ERR);
  }
  return CopyTree(*document, deep);
}

std::unique_ptr<TNode> TComment::cloneNode(bool deep) const {
  return CopyTree(*ownerDocument(), deep);
}

std::unique_ptr<TNode> TComment::ShallowCopy(TDocument& document) const {
  return document.createComment(data());
}

// --- TEntityReference ---

TEntityReference::TEntityReference(TDocument* document, std::u16string_view name)
    : TNode(document, false, name, u"") {}

TEntityReference::TEntityReference(TDocument* document, const TEntityReference& source)
    : TNode(document, source) {}

std::unique_ptr<TNode> TEntityReference::importNode(TDocument* document, bool deep) const {
  if (document == nullptr) {
    Raise(DomException::NOT_SUPPORTED_ERR);
  }
  return CopyTree(*document, deep);
}

std::unique_ptr<TNode> TEntityReference::cloneNode(bool deep) const {
  return CopyTree(*ownerDocument(), deep);
}

std::unique_ptr<TNode> TEntityReference::ShallowCopy(TDocument& document) const {
  return MakeNode<TEntityReference>(&document, &document, *this);
}

// --- TDocumentType ---

TDocumentType::TDocumentType(TDocument* document, std::u16string_view name,
                             std::u16string_view publicId, std::u16string_view systemId)
    : TNode(document, false, name, u""), publicId_(publicId), systemId_(systemId) {}

TDocumentType::TDocumentType(TDocument* document, const TDocumentType& source)
    : TNode(document, source), publicId_(source.publicId_), systemId_(source.systemId_) {}

std::unique_ptr<TNode> TDocumentType::cloneNode(bool /*deep*/) const {
  return MakeNode<TDocumentType>(ownerDocument(), ownerDocument(), *this);
}

std::unique_ptr<TNode> TDocumentType::ShallowCopy(TDocument& document) const {
  return MakeNode<TDocumentType>(&document, &document, *this);
}

// --- TDocument ---

TDocument::TDocument() : TNode(this) {
  flags_ |= kIsDocument;
}

TDocument::~TDocument() {
  // Lists that outlive the document turn empty instead of dangling.
  for (TSearchNodeList* const list : searchLists_) {
    list->owner_->ClearFlags(kOwnsSearchList);
    list->Orphan();
  }
  searchLists_.clear();
  doctype_.reset();
  DestroyChildren();
  // The base destructor must not reach back into this part.
  ClearFlags(kIsDocument);
}

bool TDocument::canInsert(const TNode* node) const {
  switch (node->nodeType()) {
    case TEXT_NODE:
    case PROCESSING_INSTRUCTION_NODE:
    case COMMENT_NODE:
      return true;
    case ELEMENT_NODE:
      return documentElement_ == nullptr;
    default:
      return false;
  }
}

std::unique_ptr<TNode> TDocument::cloneNode(bool deep) const {
  std::unique_ptr<TDocument> copy = MakeNode<TDocument>(nullptr);
  // The same URIs at the same indexes.
  for (int index = 1; index < namespaces_.Count(); ++index) {
    copy->namespaces_.Intern(namespaces_.Get(index));
  }
  if (doctype_) {
    copy->doctype_ = MakeNode<TDocumentType>(copy.get(), copy.get(), *doctype_);
  }
  if (deep) {
    for (const TNode* child = firstChild(); child != nullptr; child = child->nextSibling()) {
      copy->LinkLast(child->CopyTree(*copy, true));
    }
  }
  return copy;
}

std::unique_ptr<TNode> TDocument::ShallowCopy(TDocument& /*document*/) const {
  return cloneNode(false);
}

void TDocument::setDoctype(std::unique_ptr<TDocumentType>&& doctype) {
  if (doctype != nullptr && doctype->ownerDocument() != nullptr &&
      doctype->ownerDocument() != this) {
    Raise(DomException::WRONG_DOCUMENT_ERR);
  }
  doctype_ = std::move(doctype);
}

std::unique_ptr<TElement> TDocument::createElement(std::u16string_view tagName) {
  return MakeNode<TElement>(this, this, false, tagName, u"");
}

std::unique_ptr<TElement> TDocument::createElementNS(std::u16string_view namespaceURI,
                                                     std::u16string_view qualifiedName) {
  return MakeNode<TElement>(this, this, true, qualifiedName, namespaceURI);
}

std::unique_ptr<TTextNode> TDocument::createTextNode(std::u16string_view data) {
  return MakeNode<TTextNode>(this, this, data);
}

std::unique_ptr<TComment> TDocument::createComment(std::u16string_view data) {
  return MakeNode<TComment>(this, this, data);
}

std::unique_ptr<TCDATASection> TDocument::createCDATASection(std::u16string_view data) {
  return MakeNode<TCDATASection>(this, this, data);
}

std::unique_ptr<TAttr> TDocument::createAttribute(std::u16string_view name) {
  return MakeNode<TAttr>(this, this, name);
}

std::unique_ptr<TEntityReference> TDocument::createEntityReference(std::u16string_view name) {
  return MakeNode<TEntityReference>(this, this, name);
}

void TDocument::Register(TSearchNodeList* list) {
  list->registryIndex_ = searchLists_.size();
  searchLists_.push_back(list);
}

void TDocument::Unregister(TSearchNodeList* list) noexcept {
  const std::size_t index = list->registryIndex_;
  TSearchNodeList* const moved = searchLists_.back();
  searchLists_[index] = moved;
  moved->registryIndex_ = index;
  searchLists_.pop_back();
}

bool TDocument::HasListOwnedBy(const TNode* owner) const noexcept {
  for (const TSearchNodeList* const list : searchLists_) {
    if (list->owner_ == owner) {
      return true;
    }
  }
  return false;
}

void TDocument::OrphanListsOwnedBy(const TNode* owner) noexcept {
  std::size_t index = 0;
  while (index < searchLists_.size()) {
    TSearchNodeList* const list = searchLists_[index];
    if (list->owner_ == owner) {
      Unregister(list);
      list->Orphan();
    } else {
      ++index;
    }
  }
}

void TDocument::ChildLinked(TNode* child) noexcept {
  if (documentElement_ == nullptr && (child->flags_ & kIsElement) != 0) {
    documentElement_ = static_cast<TElement*>(child);
  }
}

void TDocument::ChildUnlinked(const TNode* child) noexcept {
  if (child != documentElement_) {
    return;
  }
  documentElement_ = nullptr;
  for (TNode* node = firstChild(); node != nullptr; node = node->nextSibling()) {
    if ((node->flags_ & kIsElement) != 0) {
      documentElement_ = static_cast<TElement*>(node);
      return;
    }
  }
}

// --- DomImplementation ---

std::unique_ptr<TDocumentType> DomImplementation::createDocumentType(
    std::u16string_view qualifiedName, std::u16string_view publicId, std::u16string_view systemId) {
  return TNode::MakeNode<TDocumentType>(nullptr, nullptr, qualifiedName, publicId, systemId);
}

std::unique_ptr<TDocument> DomImplementation::createEmptyDocument(
    std::unique_ptr<TDocumentType>&& doctype) {
  if (doctype != nullptr && doctype->ownerDocument() != nullptr) {
    Raise(DomException::WRONG_DOCUMENT_ERR);
  }
  std::unique_ptr<TDocument> document = TNode::MakeNode<TDocument>(nullptr);
  if (doctype != nullptr) {
    doctype->ownerDocument_ = document.get();
    document->doctype_ = std::move(doctype);
  }
  return document;
}

std::unique_ptr<TDocument> DomImplementation::createDocument(
    std::u16string_view namespaceURI, std::u16string_view qualifiedName,
    std::unique_ptr<TDocumentType>&& doctype) {
  std::unique_ptr<TDocument> document = createEmptyDocument(std::move(doctype));
  document->appendChild(document->createElementNS(namespaceURI, qualifiedName));
  return document;
}

}  // namespace html
