// The leaves of the document model, nodes that take no children: character
// data (TTextNode, TCDATASection, TComment), TEntityReference and
// TDocumentType.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "html/dom_node.h"

namespace html {

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

}  // namespace html
