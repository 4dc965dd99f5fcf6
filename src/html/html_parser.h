// The tree builder of the HTML side: drives the reader over a whole page and
// hangs a node under the current node for each of its events, repairing the
// nesting of common HTML with the tag classes. It never rejects a page: the
// document gets one html element at most, with a head and a body made when a
// page leaves out or reorders their tags, so every page is read to its end.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "html/dom_core.h"
#include "html/html_reader.h"
#include "html/html_tags.h"

namespace html {

// Hashes wide strings and their views alike, for lookups by view.
struct TWideHash {
  using is_transparent = void;
  std::size_t operator()(std::u16string_view s) const noexcept {
    return std::hash<std::u16string_view>{}(s);
  }
};

class THtmlParser {
 public:
  THtmlParser();
  THtmlParser(const THtmlParser&) = delete;
  THtmlParser& operator=(const THtmlParser&) = delete;
  THtmlParser(THtmlParser&&) = delete;
  THtmlParser& operator=(THtmlParser&&) = delete;
  ~THtmlParser() = default;

  // A new document holding the tree of `html`; the caller owns it. One
  // parser may parse several pages in turn.
  std::unique_ptr<TDocument> ParseString(std::u16string html);
  // How many characters of the last page the parse read: all of them,
  // unless the document model refused a node and ended it early (which the
  // placement of nodes avoids); then up to the end of the token of that node.
  std::size_t ReadLength() const { return readLength_; }

 private:
  // The parent classes a start tag may search, one bit each.
  static constexpr std::size_t kParentClassCount = 8;
  using TDepths = std::vector<std::size_t>;

  // One element of the chain from the document down to the current node.
  struct TOpenElement {
    TElement* element;
    // The depths of the open elements of this one's name; its own is last.
    TDepths* sameName;
    // The parent classes the element belongs to.
    std::uint8_t classes;
  };

  // The current node: an attribute while its value is read, else the
  // deepest open element, else the document.
  TNode* CurrentNode() const;
  void ResetTree();
  // Makes `element`, a child of the current node, the current node.
  void Open(TElement* element, std::int32_t tagNumber, std::u16string_view name);
  // Makes `element`, a child of the document element, the current node below
  // the document element alone.
  void OpenUnderRoot(TElement* element, std::int32_t tagNumber, std::u16string_view name);
  // Closes the open elements from `depth` on.
  void CloseFrom(std::size_t depth);
  TDepths* SameNameDepths(std::int32_t tagNumber, std::u16string_view name);
  // Moves the current node to where a start tag of `tagNumber` goes.
  void MoveToParentOf(std::int32_t tagNumber);
  // Moves the current node to the body, found or made.
  void MoveToBody();
  void MoveToHead();
  TElement* FindOrMakeRoot();
  TElement* FindOrMakeBody();
  // Whether the current node is the document, the html element or the head,
  // which hold no page content of their own: what arrives there goes into
  // the head or the body.
  bool AtDocumentLevel() const;

  void HtmlStart();
  void HeadStart();
  void BodyStart();
  void ContentStart(std::int32_t tagNumber, std::u16string_view name);
  // Reads the attributes of a start tag that opens nothing into an element
  // outside the tree.
  void IgnoreStartTag(std::u16string_view name);

  void ElementStart(THtmlReader& reader);
  void AttributeStart(THtmlReader& reader);
  void TextNode(THtmlReader& reader);
  void EntityReference(THtmlReader& reader);
  void AttributeEnd(THtmlReader& reader);
  void ElementEnd(THtmlReader& reader);
  void EndElement(THtmlReader& reader);
  void Comment(THtmlReader& reader);
  void CDataSection(THtmlReader& reader);
  void DocType(THtmlReader& reader);

  // The document being built; owned by the caller of ParseString.
  TDocument* document_ = nullptr;
  THtmlReader reader_;
  // The chain of open elements that the current node walks up through, with
  // indexes by name and by parent class, so that neither the end tag search
  // nor the parent search walks the tree.
  std::vector<TOpenElement> open_;
  TAttr* attribute_ = nullptr;
  std::array<TDepths, HtmlTagCount + 1> knownNameDepths_;
  std::unordered_map<std::u16string, TDepths, TWideHash, std::equal_to<>> otherNameDepths_;
  std::array<TDepths, kParentClassCount> classDepths_;
  // The head and the body once made: only this parser makes them, once
  // each, so nothing walks the children of the document element.
  TElement* head_ = nullptr;
  TElement* body_ = nullptr;
  // The element of the start tag being read, which takes its attributes.
  TElement* tagElement_ = nullptr;
  // The element of an ignored start tag, dropped when the tag ends.
  std::unique_ptr<TElement> ignored_;
  // The tag of the start tag being read (CurrentTag); refers into the
  // shared table.
  const THtmlTag* currentTag_ = nullptr;
  std::size_t readLength_ = 0;
};

}  // namespace html
