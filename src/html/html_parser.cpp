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

bool IsWhiteSpaceOnly(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) {
    return c == u'\t' || c == u'\n' || c == u'\r' || c == u' ';
  });
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
  } catch (...) {
    ResetTree();  // the ignored element lives in the document's memory
    throw;
  }
  ResetTree();
  readLength_ = std::min(reader_.Position() - 1, reader_.HtmlStr().size());
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
  head_ = nullptr;
  body_ = nullptr;
  tagElement_ = nullptr;
  ignored_.reset();
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

void THtmlParser::OpenUnderRoot(TElement* element, std::int32_t tagNumber,
                                std::u16string_view name) {
  // The document element, when anything is open, is the outermost open
  // element; it is always html.
  if (open_.empty()) {
    Open(document_->documentElement(), tagHtml, u"html");
  } else {
    CloseFrom(1);
  }
  Open(element, tagNumber, name);
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
  } else {
    OpenUnderRoot(body, tagBody, u"body");
  }
}

void THtmlParser::MoveToHead() {
  if (head_ == nullptr) {
    head_ = FindOrMakeRoot()->appendChild(document_->createElement(u"head"));
  }
  if (open_.size() != 2 || open_[1].element != head_) {
    OpenUnderRoot(head_, tagHead, u"head");
  }
}

TElement* THtmlParser::FindOrMakeRoot() {
  TElement* const root = document_->documentElement();
  return root != nullptr ? root : document_->appendChild(document_->createElement(u"html"));
}

TElement* THtmlParser::FindOrMakeBody() {
  if (body_ == nullptr) {
    body_ = FindOrMakeRoot()->appendChild(document_->createElement(u"body"));
  }
  return body_;
}

bool THtmlParser::AtDocumentLevel() const {
  // Everything open hangs below the document element, and its only element
  // children are the head and the body.
  return attribute_ == nullptr && (open_.size() <= 1 || open_.back().element == head_);
}

void THtmlParser::ElementStart(THtmlReader& reader) {
  const std::u16string_view name = reader.NodeName();
  currentTag_ = &HtmlTagList.GetTagByName(name);
  switch (currentTag_->Number) {
    case tagHtml:
      HtmlStart();
      break;
    case tagHead:
      HeadStart();
      break;
    case tagBody:
      BodyStart();
      break;
    default:
      ContentStart(currentTag_->Number, name);
      break;
  }
}

void THtmlParser::HtmlStart() {
  if (document_->documentElement() != nullptr) {
    IgnoreStartTag(u"html");
    return;
  }
  // Without a document element nothing is open: the document is current.
  tagElement_ = document_->appendChild(document_->createElement(u"html"));
  Open(tagElement_, tagHtml, u"html");
}

void THtmlParser::HeadStart() {
  if (head_ != nullptr || body_ != nullptr) {
    IgnoreStartTag(u"head");
    return;
  }
  MoveToHead();
  tagElement_ = head_;
}

void THtmlParser::BodyStart() {
  if (body_ == nullptr) {
    MoveToBody();
    tagElement_ = body_;
    return;
  }
  IgnoreStartTag(u"body");
  if (AtDocumentLevel()) {
    MoveToBody();
  }
}

void THtmlParser::ContentStart(std::int32_t tagNumber, std::u16string_view name) {
  if (NeedParentTags.Contains(tagNumber)) {
    MoveToParentOf(tagNumber);
  } else if (AtDocumentLevel()) {
    if (HeadTags.Contains(tagNumber) && body_ == nullptr) {
      MoveToHead();
    } else {
      MoveToBody();
    }
  }
  tagElement_ = CurrentNode()->appendChild(document_->createElement(name));
  Open(tagElement_, tagNumber, name);
}

void THtmlParser::IgnoreStartTag(std::u16string_view name) {
  ignored_ = document_->createElement(name);
  tagElement_ = ignored_.get();
}

void THtmlParser::AttributeStart(THtmlReader& reader) {
  if (attribute_ != nullptr || tagElement_ == nullptr) {
    return;  // the reader names attributes only inside a start tag
  }
  std::unique_ptr<TAttr> attribute = document_->createAttribute(reader.NodeName());
  TAttr* const raw = attribute.get();
  // An earlier attribute of the same name comes back and is freed.
  tagElement_->setAttributeNode(std::move(attribute));
  attribute_ = raw;
}

void THtmlParser::TextNode(THtmlReader& reader) {
  const std::u16string_view text = reader.NodeValue();
  // White space between the tags of the document level stays there.
  if (AtDocumentLevel() && !IsWhiteSpaceOnly(text)) {
    MoveToBody();
  }
  CurrentNode()->appendChild(document_->createTextNode(text));
}

void THtmlParser::EntityReference(THtmlReader& reader) {
  if (AtDocumentLevel()) {
    MoveToBody();
  }
  CurrentNode()->appendChild(document_->createEntityReference(reader.NodeName()));
}

void THtmlParser::AttributeEnd(THtmlReader& /*reader*/) {
  attribute_ = nullptr;  // back to the owner element
}

void THtmlParser::ElementEnd(THtmlReader& reader) {
  // An ignored tag opened nothing, so it closes nothing.
  const bool closed =
      ignored_ == nullptr && (reader.IsEmptyElement() ||
                              (currentTag_ != nullptr && EmptyTags.Contains(currentTag_->Number)));
  if (closed && attribute_ == nullptr && !open_.empty()) {
    CloseFrom(open_.size() - 1);
  }
  currentTag_ = nullptr;
  tagElement_ = nullptr;
  ignored_.reset();
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
  if (AtDocumentLevel()) {
    MoveToBody();
  }
  CurrentNode()->appendChild(document_->createCDATASection(reader.NodeValue()));
}

void THtmlParser::DocType(THtmlReader& reader) {
  document_->setDoctype(DomImplementation::createDocumentType(reader.NodeName(), reader.PublicID(),
                                                              reader.SystemID()));
}

}  // namespace html
