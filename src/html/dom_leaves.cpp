#include "html/dom_leaves.h"

#include <memory>
#include <string_view>

#include "html/dom_detail.h"
#include "html/dom_document.h"
#include "html/dom_exception.h"

namespace html {

using detail::Raise;

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

}  // namespace html
