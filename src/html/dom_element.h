// Elements and their attributes: TElement, which keeps its attributes in a
// TAttributeStore, and TAttr, whose value is the text of its children.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "html/dom_lists.h"
#include "html/dom_node.h"

namespace html {

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

}  // namespace html
