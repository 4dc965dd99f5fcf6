#include "html/dom_element.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "html/dom_detail.h"
#include "html/dom_document.h"
#include "html/dom_exception.h"
#include "html/dom_leaves.h"
#include "html/entities.h"

namespace html {

using detail::Raise;
using detail::RejectFreeNode;

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

}  // namespace html
