#include "html/dom_document.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "html/dom_detail.h"
#include "html/dom_exception.h"
#include "html/dom_search.h"

namespace html {

using detail::EmptyString;
using detail::Raise;

// --- TNamespaceURIList ---

TNamespaceURIList::TNamespaceURIList() {
  uris_.Add(WideString());
}

int TNamespaceURIList::Intern(std::u16string_view uri) {
  const int found = uris_.IndexOf(uri);
  return found >= 0 ? found : uris_.Add(WideString(uri));
}

const std::u16string& TNamespaceURIList::Get(int index) const {
  if (index < 0 || index >= Count()) {
    return EmptyString();
  }
  return uris_.StringAt(index);
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
