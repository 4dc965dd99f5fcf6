#include "html/html_reader.h"

#include <algorithm>
#include <utility>

namespace html {

namespace {

constexpr std::size_t npos = std::u16string::npos;

constexpr bool IsWhiteSpace(char16_t c) {
  return c == u'\t' || c == u'\n' || c == u'\r' || c == u' ';
}

// Ends a tag name, an end tag's name and a DOCTYPE word.
constexpr bool EndsTagName(char16_t c) {
  return IsWhiteSpace(c) || c == u'/' || c == u'>';
}

constexpr bool EndsAttributeName(char16_t c) {
  return EndsTagName(c) || c == u'=';
}

// A slash ends an unquoted value only right before the ">" (see
// AtEmptyTagEnd): paths and URLs are written unquoted.
constexpr bool EndsUnquotedValue(char16_t c) {
  return IsWhiteSpace(c) || c == u'>' || c == u'"' || c == u'\'';
}

constexpr bool IsQuote(char16_t c) {
  return c == u'"' || c == u'\'';
}

constexpr bool IsEntityNameChar(char16_t c) {
  return !IsWhiteSpace(c) && c != u'&' && c != u';' && c != u'<';
}

constexpr bool IsUpperCase(char16_t c) {
  return c >= u'A' && c <= u'Z';
}

constexpr char16_t UpperCase(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

constexpr char16_t LowerCase(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Whether `s` equals `lower`, a lower-case word, ignoring ASCII case.
constexpr bool EqualsWord(std::u16string_view s, std::u16string_view lower) {
  return s.size() == lower.size() &&
         std::equal(s.begin(), s.end(), lower.begin(),
                    [](char16_t c, char16_t l) { return LowerCase(c) == l; });
}

// The elements whose content is raw text up to their own end tag: code with
// "<" and "&" in it must not become markup.
constexpr std::u16string_view RawTextNameOf(std::u16string_view name) {
  if (name == u"script") {
    return u"script";
  }
  if (name == u"style") {
    return u"style";
  }
  return {};
}

// The worth of `c` as a digit of `base` (10 or 16), or -1.
constexpr int DigitValue(char16_t c, unsigned base) {
  if (c >= u'0' && c <= u'9') {
    return c - u'0';
  }
  if (base == 16 && c >= u'a' && c <= u'f') {
    return c - u'a' + 10;
  }
  if (base == 16 && c >= u'A' && c <= u'F') {
    return c - u'A' + 10;
  }
  return -1;
}

}  // namespace

void THtmlReader::SetHtmlStr(std::u16string s) {
  // A swap frees the old page with `s`; a move assignment of a short string
  // would keep its buffer.
  html_.swap(s);
  pos_ = 0;
  // A new page starts in content, whatever the last one ended in.
  state_ = rsContent;
  quotation_ = 0;
  ResetToken();
  rawTextName_ = {};
  gtMemo_ = {};
  commentEndMemo_ = {};
  cdataEndMemo_ = {};
  doubleQuoteMemo_ = {};
  singleQuoteMemo_ = {};
}

bool THtmlReader::Read() {
  ResetToken();
  if (AtEnd()) {
    return false;
  }
  switch (state_) {
    case rsAfterAttributeName:
    case rsUnquotedValue:
    case rsQuotedValue:
      if (!AttributeValueStep()) {
        if (state_ == rsQuotedValue) {
          ++pos_;  // the closing quote
        }
        nodeType_ = rntAttributeEnd;
        Raise(OnAttributeEnd);
        state_ = rsInTag;
      }
      break;
    case rsInTag:
      if (!AttributeNameStep()) {
        EndOfStartTagStep();
        state_ = rsContent;
      }
      break;
    default:
      if (rawTextName_.empty() || !RawTextStep()) {
        ContentStep();
      }
      break;
  }
  return true;
}

void THtmlReader::Raise(const TReaderEvent& event) {
  if (event) {
    event(*this);
  }
}

void THtmlReader::ResetToken() {
  nodeType_ = rntNone;
  nodeName_ = {};
  prefixLength_ = 0;
  localStart_ = 0;
  nodeValue_ = {};
  publicId_ = {};
  systemId_ = {};
  isEmptyElement_ = false;
}

void THtmlReader::SetName(std::u16string_view name, bool lowerCase) {
  const std::size_t colon = name.find(u':');
  prefixLength_ = 0;
  localStart_ = 0;
  if (colon == 0) {
    // An empty prefix is no prefix: the name loses its colon.
    name.remove_prefix(1);
  } else if (colon != npos) {
    prefixLength_ = colon;
    localStart_ = colon + 1;
  }
  // Most names are lower case already and need no copy.
  if (!lowerCase || std::none_of(name.begin(), name.end(), IsUpperCase)) {
    nodeName_ = name;
    return;
  }
  nameBuffer_.assign(name);
  for (char16_t& c : nameBuffer_) {
    c = LowerCase(c);
  }
  nodeName_ = nameBuffer_;
}

void THtmlReader::SkipWhiteSpace() {
  while (!AtEnd() && IsWhiteSpace(Current())) {
    ++pos_;
  }
}

std::u16string_view THtmlReader::ReadTagName() {
  const std::size_t start = pos_;
  while (!AtEnd() && !EndsTagName(Current())) {
    ++pos_;
  }
  return std::u16string_view(html_).substr(start, pos_ - start);
}

std::u16string_view THtmlReader::ReadAttributeName() {
  const std::size_t start = pos_;
  while (!AtEnd() && !EndsAttributeName(Current())) {
    ++pos_;
  }
  return std::u16string_view(html_).substr(start, pos_ - start);
}

bool THtmlReader::Match(std::u16string_view s, bool ignoreCase) const {
  if (html_.size() - pos_ < s.size()) {
    return false;
  }
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char16_t c = html_[pos_ + i];
    if (c != s[i] && (!ignoreCase || UpperCase(c) != UpperCase(s[i]))) {
      return false;
    }
  }
  return true;
}

std::size_t THtmlReader::Find(std::u16string_view s, TSearchMemo& memo) const {
  // No occurrence starts in [from, at), so the answer holds for any start in
  // between; a failed search (at == npos) holds for every later start.
  const std::u16string_view text(html_);
  if (memo.from != npos && pos_ <= memo.at) {
    if (pos_ >= memo.from) {
      return memo.at;
    }
    // Back before the known stretch (markup that failed is read again from
    // its start): only the part in front of it is new.
    const std::size_t front = text.substr(0, memo.from + s.size() - 1).find(s, pos_);
    memo = {pos_, front == npos ? memo.at : front};
    return memo.at;
  }
  memo = {pos_, text.find(s, pos_)};
  return memo.at;
}

bool THtmlReader::SkipPast(std::u16string_view s, TSearchMemo& memo) {
  const std::size_t at = Find(s, memo);
  if (at == npos) {
    pos_ = html_.size();
    return false;
  }
  pos_ = at + s.size();
  return true;
}

bool THtmlReader::SkipPastChar(char16_t c) {
  return SkipPast(std::u16string_view(&c, 1), MemoOf(c));
}

THtmlReader::TSearchMemo& THtmlReader::MemoOf(char16_t c) {
  if (c == u'"') {
    return doubleQuoteMemo_;
  }
  return c == u'\'' ? singleQuoteMemo_ : gtMemo_;
}

void THtmlReader::ContentStep() {
  if (Current() == u'<') {
    if (!MarkupStep()) {
      StrayCharacterStep(u"lt");
    }
  } else if (Current() == u'&') {
    if (!ReferenceStep()) {
      StrayCharacterStep(u"amp");
    }
  } else {
    TextStep();
  }
}

// The content of a script or style element, up to its end tag or the end of
// the input, as one text; false, raising nothing, when it is empty.
bool THtmlReader::RawTextStep() {
  const std::size_t end = FindRawTextEnd();
  rawTextName_ = {};
  if (end == pos_) {
    return false;
  }
  nodeType_ = rntText;
  nodeValue_ = std::u16string_view(html_).substr(pos_, end - pos_);
  pos_ = end;
  Raise(OnTextNode);
  return true;
}

// Where "</" and the raw text element's name, in any case, stand before
// white space, "/", ">" or the end of the input. One forward scan: the text
// before it is consumed, so no stretch is searched twice.
std::size_t THtmlReader::FindRawTextEnd() const {
  const std::u16string_view text(html_);
  const std::size_t nameLength = rawTextName_.size();
  for (std::size_t at = text.find(u"</", pos_); at != npos; at = text.find(u"</", at + 2)) {
    const std::size_t after = at + 2 + nameLength;
    if (after <= text.size() && EqualsWord(text.substr(at + 2, nameLength), rawTextName_) &&
        (after == text.size() || EndsTagName(text[after]))) {
      return at;
    }
  }
  return text.size();
}

void THtmlReader::StrayCharacterStep(std::u16string_view name) {
  ++pos_;
  nodeType_ = rntEntityReference;
  SetName(name, false);
  Raise(OnEntityReference);
}

void THtmlReader::TextStep() {
  const std::size_t start = pos_;
  ++pos_;
  while (!AtEnd() && Current() != u'&' && Current() != u'<') {
    ++pos_;
  }
  nodeType_ = rntText;
  nodeValue_ = std::u16string_view(html_).substr(start, pos_ - start);
  Raise(OnTextNode);
}

bool THtmlReader::MarkupStep() {
  const std::size_t start = pos_;
  ++pos_;
  bool done = false;
  if (!AtEnd()) {
    if (Current() == u'/') {
      done = EndTagStep();
    } else if (Current() == u'!') {
      done = DeclarationStep();
    } else if (Current() == u'?') {
      done = ProcessingInstructionStep();
    } else {
      done = StartTagStep();
    }
  }
  if (!done) {
    pos_ = start;
  }
  return done;
}

bool THtmlReader::EndTagStep() {
  ++pos_;
  if (AtEnd()) {
    return false;
  }
  const std::u16string_view name = ReadTagName();
  // What stands between the name and the greater-than sign is ignored.
  if (name.empty() || !SkipPastChar(u'>')) {
    return false;
  }
  nodeType_ = rntEndElement;
  SetName(name, true);
  Raise(OnEndElement);
  return true;
}

bool THtmlReader::StartTagStep() {
  // The first character of the name and one more.
  if (html_.size() - pos_ < 2) {
    return false;
  }
  const std::u16string_view name = ReadTagName();
  if (name.empty()) {
    return false;
  }
  nodeType_ = rntElement;
  SetName(name, true);
  state_ = rsInTag;
  rawTextName_ = RawTextNameOf(nodeName_);
  Raise(OnElementStart);
  return true;
}

// "<?" up to the next ">" is a comment, as browsers read it: an XML
// declaration must not open an element that swallows the page.
bool THtmlReader::ProcessingInstructionStep() {
  const std::size_t start = pos_;
  if (!SkipPastChar(u'>')) {
    return false;
  }
  nodeType_ = rntComment;
  nodeValue_ = std::u16string_view(html_).substr(start, pos_ - 1 - start);
  Raise(OnComment);
  return true;
}

bool THtmlReader::DeclarationStep() {
  ++pos_;
  if (AtEnd()) {
    return false;
  }
  if (Match(u"DOCTYPE", true)) {
    return DocTypeStep();
  }
  if (Match(u"[CDATA[", false)) {
    return CDataStep();
  }
  if (Match(u"--", false)) {
    return CommentStep();
  }
  return false;
}

bool THtmlReader::CommentStep() {
  pos_ += 2;
  const std::size_t start = pos_;
  if (!SkipPast(u"-->", commentEndMemo_)) {
    return false;
  }
  nodeType_ = rntComment;
  nodeValue_ = std::u16string_view(html_).substr(start, pos_ - 3 - start);
  Raise(OnComment);
  return true;
}

bool THtmlReader::CDataStep() {
  pos_ += 7;
  const std::size_t start = pos_;
  if (!SkipPast(u"]]>", cdataEndMemo_)) {
    return false;
  }
  nodeType_ = rntCDataSection;
  nodeValue_ = std::u16string_view(html_).substr(start, pos_ - 3 - start);
  Raise(OnCDataSection);
  return true;
}

bool THtmlReader::DocTypeStep() {
  pos_ += 7;
  SkipWhiteSpace();
  const std::u16string_view name = ReadTagName();
  if (name.empty()) {
    return false;
  }
  SetName(name, false);
  SkipWhiteSpace();
  // "<!DOCTYPE html>" has no identifiers and ends at its own ">".
  if (!AtEnd() && Current() != u'>' && !ReadExternalId()) {
    return false;
  }
  // Whatever else stands before the ">" is ignored.
  if (!SkipPastChar(u'>')) {
    return false;
  }
  nodeType_ = rntNone;
  Raise(OnDocType);
  return true;
}

// The keyword and the quoted identifiers after it. SYSTEM gives the system
// identifier alone; PUBLIC, or any other word, a public one and optionally a
// system one. Fails only on a quote that does not close.
bool THtmlReader::ReadExternalId() {
  const bool systemOnly = EqualsWord(ReadTagName(), u"system");
  SkipWhiteSpace();
  if (!AtQuote()) {
    return true;
  }
  if (systemOnly) {
    return ReadQuotedValue(systemId_);
  }
  if (!ReadQuotedValue(publicId_)) {
    return false;
  }
  SkipWhiteSpace();
  return !AtQuote() || ReadQuotedValue(systemId_);
}

bool THtmlReader::AtQuote() const {
  return !AtEnd() && IsQuote(Current());
}

bool THtmlReader::ReadQuotedValue(std::u16string_view& value) {
  const char16_t quote = Current();
  ++pos_;
  const std::size_t start = pos_;
  if (!SkipPastChar(quote)) {
    return false;
  }
  value = std::u16string_view(html_).substr(start, pos_ - 1 - start);
  return true;
}

bool THtmlReader::ReferenceStep() {
  const std::size_t start = pos_;
  ++pos_;
  bool done = false;
  if (!AtEnd()) {
    if (Current() == u'#') {
      ++pos_;
      done = NumericReferenceStep();
    } else {
      done = NamedReferenceStep();
    }
  }
  if (!done) {
    pos_ = start;
  }
  return done;
}

bool THtmlReader::NumericReferenceStep() {
  if (AtEnd()) {
    return false;
  }
  unsigned base = 10;
  if (Current() == u'x' || Current() == u'X') {
    base = 16;
    ++pos_;
  }
  unsigned value = 0;
  for (; !AtEnd(); ++pos_) {
    const int digit = DigitValue(Current(), base);
    if (digit < 0) {
      break;
    }
    value = (value * base + static_cast<unsigned>(digit)) % 0x10000U;
  }
  if (AtEnd() || Current() != u';') {
    return false;
  }
  ++pos_;
  nodeType_ = rntText;
  referenceChar_ = static_cast<char16_t>(value);
  nodeValue_ = std::u16string_view(&referenceChar_, 1);
  Raise(OnTextNode);
  nodeType_ = rntEntityReference;
  return true;
}

bool THtmlReader::NamedReferenceStep() {
  const std::size_t start = pos_;
  while (!AtEnd() && IsEntityNameChar(Current())) {
    ++pos_;
  }
  if (AtEnd() || Current() != u';') {
    return false;
  }
  nodeType_ = rntEntityReference;
  SetName(std::u16string_view(html_).substr(start, pos_ - start), false);
  ++pos_;
  Raise(OnEntityReference);
  return true;
}

bool THtmlReader::AttributeNameStep() {
  SkipWhiteSpace();
  const std::u16string_view name = ReadAttributeName();
  if (name.empty()) {
    return false;
  }
  SetName(name, true);
  Raise(OnAttributeStart);
  state_ = rsAfterAttributeName;
  quotation_ = 0;
  return true;
}

void THtmlReader::EndOfStartTagStep() {
  SkipWhiteSpace();
  if (!AtEnd() && Current() == u'/') {
    isEmptyElement_ = true;
    ++pos_;
  }
  // Whatever stands before the greater-than sign is dropped; without one the
  // tag runs to the end of the input.
  SkipPastChar(u'>');
  if (isEmptyElement_) {
    rawTextName_ = {};  // "<script/>" has no content
  }
  nodeType_ = rntElement;
  Raise(OnElementEnd);
}

bool THtmlReader::AttributeValueStep() {
  if (state_ == rsAfterAttributeName) {
    SkipWhiteSpace();
    if (AtEnd() || Current() != u'=') {
      return false;
    }
    ++pos_;
    SkipWhiteSpace();
    if (AtEnd()) {
      return false;
    }
    if (Current() == u'"' || Current() == u'\'') {
      quotation_ = Current();
      ++pos_;
      state_ = rsQuotedValue;
    } else {
      state_ = rsUnquotedValue;
    }
  }
  if (AtEnd()) {
    return false;
  }
  // A reference is recognised only at the start of a piece.
  if (Current() == u'&') {
    if (!ReferenceStep()) {
      StrayCharacterStep(u"amp");
    }
    return true;
  }
  return ReadValuePiece();
}

bool THtmlReader::ReadValuePiece() {
  const std::size_t start = pos_;
  if (state_ == rsUnquotedValue) {
    while (!AtEnd() && !EndsUnquotedValue(Current()) && !AtEmptyTagEnd()) {
      ++pos_;
    }
  } else {
    while (!AtEnd() && Current() != quotation_ && Current() != u'&') {
      ++pos_;
    }
  }
  if (pos_ == start) {
    return false;
  }
  nodeType_ = rntText;
  nodeValue_ = std::u16string_view(html_).substr(start, pos_ - start);
  Raise(OnTextNode);
  return true;
}

// A slash right before the ">" ends an unquoted value and marks the tag
// empty, as in "<br clear=all/>".
bool THtmlReader::AtEmptyTagEnd() const {
  return Current() == u'/' && pos_ + 1 < html_.size() && html_[pos_ + 1] == u'>';
}

}  // namespace html
