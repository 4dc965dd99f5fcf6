#include "html/html_parser.h"

#include <algorithm>
#include <utility>

#include "rtl/exceptions.h"

namespace html {

namespace {

// The parent classes by bit number.
constexpr std::array<const TTagSet*, 8> kParentClasses{
    &BlockParentTags, &ListItemParentTags, &DefinitionItemParentTags, &CellParentTags,
    &RowParentTags,   &ColParentTags,      &TableSectionParentTags,   &OptionParentTags};
enum : std::size_t {
  pcBlock,
  pcListItem,
  pcDefinitionItem,
  pcCell,
  pcRow,
  pcCol,
  pcTableSection,
  pcOption
};

// For each tag number, the parent classes it belongs to.
constexpr std::array<std::uint8_t, HtmlTagCount + 1> MakeClassMasks() {
  std::array<std::uint8_t, HtmlTagCount + 1> masks{};
  for (std::size_t tag = 0; tag < masks.size(); ++tag) {
    for (std::size_t c = 0; c < kParentClasses.size(); ++c) {
      if (kParentClasses[c]->Contains(static_cast<std::int32_t>(tag))) {
        masks[tag] = static_cast<std::uint8_t>(masks[tag] | (1U << c));
      }
    }
  }
  return masks;
}
constexpr std::array<std::uint8_t, HtmlTagCount + 1> kClassMasks = MakeClassMasks();

std::uint8_t ClassesOf(std::int32_t tagNumber) {
  return tagNumber >= 0 && tagNumber <= HtmlTagCount
             ? kClassMasks[static_cast<std::size_t>(tagNumber)]
             : 0;
}

// The class a start tag of NeedParentTags takes its parent from.
std::size_t ParentClassOf(std::int32_t tagNumber) {
  switch (tagNumber) {
    case tagLi:
      return pcListItem;
    case tagDd:
    case tagDt:
      return pcDefinitionItem;
    case tagTd:
    case tagTh:
      return pcCell;
    case tagTr:
      return pcRow;
    case tagCol:
      return pcCol;
    case tagColgroup:
    case tagTbody:
    case tagTfoot:
    case tagThead:
      return pcTableSection;
    case tagOption:
      return pcOption;
    default:
      return pcBlock;  // p and the members of BlockTags
  }
}

template <class Handler>
THtmlReader::TReaderEvent Bind(THtmlParser* parser, Handler handler) {
  return [parser, handler](THtmlReader& reader) { (parser->*handler)(reader); };
}

}  // namespace

THtmlParser::THtmlParser() {
  static_assert(kParentClasses.size() == kParentClassCount);
  reader_.OnAttributeEnd = Bind(this, &THtmlParser::AttributeEnd);
  reader_.OnAttributeStart = Bind(this, &THtmlParser::AttributeStart);
  reader_.OnCDataSection = Bind(this, &THtmlParser::CDataSection);
  reader_.OnComment = Bind(this, &THtmlParser::Comment);
  reader_.OnDocType = Bind(this, &THtmlParser::DocType);
  reader_.OnElementEnd = Bind(this, &THtmlParser::ElementEnd);
  reader_.OnElementStart = Bind(this, &THtmlParser::ElementStart);
  reader_.OnEndElement = Bind(this, &THtmlParser::EndElement);
  reader_.OnEntityReference = Bind(this, &THtmlParser::EntityReference);
  reader_.OnTextNode = Bind(this, &THtmlParser::TextNode);
}

std::unique_ptr<TDocument> THtmlParser::ParseString(std::u16string html) {
  reader_.SetHtmlStr(std::move(html));
  ResetTree();
  std::unique_ptr<TDocument> document = DomImplementation::createEmptyDocument();
  document_ = document.get();
  try {
    while (reader_.Read()) {
    }
  } catch (const rtl::Exception&) {
    // What the document model refuses ends the parse; the tree built so far
    // is the result.
  }
  readLength_ = std::min(reader_.Position() - 1, reader_.HtmlStr().size());
  ResetTree();
  document_ = nullptr;
  reader_.SetHtmlStr({});  // the page is not needed any more
  return document;
}

TNode* THtmlParser::CurrentNode() const {
  if (attribute_ != nullptr) {
    return attribute_;
  }
  if (!open_.empty()) {
    return open_.back().element;
  }
  return document_;
}

void THtmlParser::ResetTree() {
  open_.clear();
  for (TDepths& depths : knownNameDepths_) {
    depths.clear();
  }
  otherNameDepths_.clear();
  for (TDepths& depths : classDepths_) {
    depths.clear();
  }
  attribute_ = nullptr;
  body_ = nullptr;
  currentTag_ = nullptr;
}

THtmlParser::TDepths* THtmlParser::SameNameDepths(std::int32_t tagNumber,
                                                  std::u16string_view name) {
  if (tagNumber > 0 && tagNumber <= HtmlTagCount) {
    return &knownNameDepths_[static_cast<std::size_t>(tagNumber)];
  }
  auto found = otherNameDepths_.find(name);
  if (found == otherNameDepths_.end()) {
    found = otherNameDepths_.emplace(std::u16string(name), TDepths{}).first;
  }
  return &found->second;
}

void THtmlParser::Open(TElement* element, std::int32_t tagNumber, std::u16string_view name) {
  const std::size_t depth = open_.size();
  TOpenElement entry{element, SameNameDepths(tagNumber, name), ClassesOf(tagNumber)};
  entry.sameName->push_back(depth);
  for (std::size_t c = 0; c < kParentClassCount; ++c) {
    if ((entry.classes & (1U << c)) != 0) {
      classDepths_[c].push_back(depth);
    }
  }
  open_.push_back(entry);
}

void THtmlParser::CloseFrom(std::size_t depth) {
  while (open_.size() > depth) {
    const TOpenElement& entry = open_.back();
    entry.sameName->pop_back();
    for (std::size_t c = 0; c < kParentClassCount; ++c) {
      if ((entry.classes & (1U << c)) != 0) {
        classDepths_[c].pop_back();
      }
    }
    open_.pop_back();
  }
}

void THtmlParser::MoveToParentOf(std::int32_t tagNumber) {
  // The nearest open element of the class, the current node first; those
  // passed over stay as they are but receive no more content.
  const TDepths& candidates = classDepths_[ParentClassOf(tagNumber)];
  if (candidates.empty()) {
    MoveToBody();
  } else {
    CloseFrom(candidates.back() + 1);
  }
}

void THtmlParser::MoveToBody() {
  TElement* const body = FindOrMakeBody();
  if (open_.size() >= 2 && open_[1].element == body) {
    CloseFrom(2);
    return;
  }
  // The body is a child of the document element, which, when anything is
  // open, is the outermost open element.
  if (open_.empty()) {
    TElement* const root = document_->documentElement();
    const std::u16string name = root->nodeName();
    Open(root, HtmlTagList.GetTagByName(name).Number, name);
  } else {
    CloseFrom(1);
  }
  Open(body, tagBody, u"body");
}

TElement* THtmlParser::FindOrMakeBody() {
  TElement* root = document_->documentElement();
  if (root == nullptr) {
    root = document_->appendChild(document_->createElement(u"html"));
    body_ = nullptr;
  }
  if (body_ != nullptr) {
    return body_;
  }
  for (TNode* child = root->firstChild(); child != nullptr; child = child->nextSibling()) {
    if (child->nodeType() == TNode::ELEMENT_NODE && child->nodeName() == u"body") {
      body_ = static_cast<TElement*>(child);
      return body_;
    }
  }
  body_ = root->appendChild(document_->createElement(u"body"));
  return body_;
}

void THtmlParser::ElementStart(THtmlReader& reader) {
  const std::u16string_view name = reader.NodeName();
  currentTag_ = &HtmlTagList.GetTagByName(name);
  const std::int32_t number = currentTag_->Number;
  if (NeedParentTags.Contains(number)) {
    MoveToParentOf(number);
  }
  TElement* const element = CurrentNode()->appendChild(document_->createElement(name));
  Open(element, number, name);
}

void THtmlParser::AttributeStart(THtmlReader& reader) {
  if (attribute_ != nullptr || open_.empty()) {
    return;  // the reader names attributes only inside a start tag
  }
  std::unique_ptr<TAttr> attribute = document_->createAttribute(reader.NodeName());
  TAttr* const raw = attribute.get();
  // An earlier attribute of the same name comes back and is freed.
  open_.back().element->setAttributeNode(std::move(attribute));
  attribute_ = raw;
}

void THtmlParser::TextNode(THtmlReader& reader) {
  CurrentNode()->appendChild(document_->createTextNode(reader.NodeValue()));
}

void THtmlParser::EntityReference(THtmlReader& reader) {
  CurrentNode()->appendChild(document_->createEntityReference(reader.NodeName()));
}

void THtmlParser::AttributeEnd(THtmlReader& /*reader*/) {
  attribute_ = nullptr;  // back to the owner element
}

void THtmlParser::ElementEnd(THtmlReader& reader) {
  const bool closed = reader.IsEmptyElement() ||
                      (currentTag_ != nullptr && EmptyTags.Contains(currentTag_->Number));
  if (closed && attribute_ == nullptr && !open_.empty()) {
    CloseFrom(open_.size() - 1);
  }
  currentTag_ = nullptr;
}

void THtmlParser::EndElement(THtmlReader& reader) {
  // The nearest open element of that name, the current node first; without
  // one the end tag changes nothing.
  const std::u16string_view name = reader.NodeName();
  const std::int32_t number = HtmlTagList.GetTagByName(name).Number;
  const TDepths* depths = nullptr;
  if (number != tagUnknown) {
    depths = &knownNameDepths_[static_cast<std::size_t>(number)];
  } else if (const auto found = otherNameDepths_.find(name); found != otherNameDepths_.end()) {
    depths = &found->second;
  }
  if (depths != nullptr && !depths->empty()) {
    CloseFrom(depths->back());
  }
}

void THtmlParser::Comment(THtmlReader& reader) {
  CurrentNode()->appendChild(document_->createComment(reader.NodeValue()));
}

void THtmlParser::CDataSection(THtmlReader& reader) {
  CurrentNode()->appendChild(document_->createCDATASection(reader.NodeValue()));
}

void THtmlParser::DocType(THtmlReader& reader) {
  document_->setDoctype(DomImplementation::createDocumentType(reader.NodeName(), reader.PublicID(),
                                                              reader.SystemID()));
}

}  // namespace html
