// The tokenizer of the HTML side. It holds a whole page and, on each Read,
// consumes one token and raises the event that belongs to it. It never fails:
// markup that is not well formed comes out as text and entity references.
// The content of script and style is one text up to its own end tag.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace html {

// Values of THtmlReader::NodeType: the node types of the document model, plus
// one for an end tag.
inline constexpr int rntNone = 0;  // also an attribute name and a DOCTYPE
inline constexpr int rntElement = 1;
inline constexpr int rntAttributeEnd = 2;
inline constexpr int rntText = 3;
inline constexpr int rntCDataSection = 4;
inline constexpr int rntEntityReference = 5;
inline constexpr int rntComment = 8;
inline constexpr int rntEndElement = 255;

// Values of THtmlReader::State.
inline constexpr std::uint8_t rsContent = 0;
inline constexpr std::uint8_t rsInTag = 1;
inline constexpr std::uint8_t rsAfterAttributeName = 2;
inline constexpr std::uint8_t rsUnquotedValue = 3;
inline constexpr std::uint8_t rsQuotedValue = 4;

class THtmlReader {
 public:
  using TReaderEvent = std::function<void(THtmlReader&)>;

  THtmlReader() = default;
  // Handlers usually capture their receiver; the token views point into this
  // object. Neither survives a copy or a move.
  THtmlReader(const THtmlReader&) = delete;
  THtmlReader& operator=(const THtmlReader&) = delete;
  THtmlReader(THtmlReader&&) = delete;
  THtmlReader& operator=(THtmlReader&&) = delete;
  ~THtmlReader() = default;

  const std::u16string& HtmlStr() const { return html_; }
  // Starts reading `s` from its beginning, in content.
  void SetHtmlStr(std::u16string s);

  // Reads one token and raises its events. False, doing nothing, once the
  // input is exhausted.
  bool Read();

  // 1-based index of the next character to read.
  std::size_t Position() const { return pos_ + 1; }
  std::uint8_t State() const { return state_; }
  char16_t Quotation() const { return quotation_; }

  // The token read last. The views stay valid until the next Read or
  // SetHtmlStr.
  int NodeType() const { return nodeType_; }
  std::u16string_view Prefix() const { return nodeName_.substr(0, prefixLength_); }
  std::u16string_view LocalName() const { return nodeName_.substr(localStart_); }
  // Prefix, ":" and LocalName when there is a prefix, else LocalName.
  std::u16string_view NodeName() const { return nodeName_; }
  std::u16string_view NodeValue() const { return nodeValue_; }
  std::u16string_view PublicID() const { return publicId_; }
  std::u16string_view SystemID() const { return systemId_; }
  bool IsEmptyElement() const { return isEmptyElement_; }

  TReaderEvent OnAttributeEnd;
  TReaderEvent OnAttributeStart;
  TReaderEvent OnCDataSection;
  TReaderEvent OnComment;
  TReaderEvent OnDocType;
  TReaderEvent OnElementEnd;
  TReaderEvent OnElementStart;
  TReaderEvent OnEndElement;
  TReaderEvent OnEntityReference;
  TReaderEvent OnTextNode;

 private:
  // Where a forward search for one pattern last ended: its first occurrence
  // at or after `from` starts at `at` (npos: none). Markup that never closes
  // is then not searched for again from each of its openings.
  struct TSearchMemo {
    std::size_t from = std::u16string::npos;
    std::size_t at = std::u16string::npos;
  };

  bool AtEnd() const { return pos_ >= html_.size(); }
  char16_t Current() const { return html_[pos_]; }
  void Raise(const TReaderEvent& event);
  void ResetToken();
  // Splits `name` at its first colon into prefix and local name.
  void SetName(std::u16string_view name, bool lowerCase);

  void SkipWhiteSpace();
  std::u16string_view ReadTagName();
  std::u16string_view ReadAttributeName();
  bool Match(std::u16string_view s, bool ignoreCase) const;
  // Moves just past the next occurrence of `s` and succeeds, or moves to the
  // end of the input and fails.
  bool SkipPast(std::u16string_view s, TSearchMemo& memo);
  bool SkipPastChar(char16_t c);
  TSearchMemo& MemoOf(char16_t c);
  std::size_t Find(std::u16string_view s, TSearchMemo& memo) const;

  void ContentStep();
  bool RawTextStep();
  std::size_t FindRawTextEnd() const;
  void StrayCharacterStep(std::u16string_view name);
  void TextStep();
  bool MarkupStep();
  bool EndTagStep();
  bool StartTagStep();
  bool DeclarationStep();
  bool CommentStep();
  bool CDataStep();
  bool ProcessingInstructionStep();
  bool DocTypeStep();
  bool ReadExternalId();
  bool AtQuote() const;
  bool ReadQuotedValue(std::u16string_view& value);
  bool ReferenceStep();
  bool NumericReferenceStep();
  bool NamedReferenceStep();
  bool AttributeNameStep();
  void EndOfStartTagStep();
  bool AttributeValueStep();
  bool ReadValuePiece();
  bool AtEmptyTagEnd() const;

  std::u16string html_;
  std::size_t pos_ = 0;
  int nodeType_ = rntNone;
  // Into the input, or into nameBuffer_ when the name had to be lower-cased.
  std::u16string_view nodeName_;
  std::u16string nameBuffer_;
  std::size_t prefixLength_ = 0;
  std::size_t localStart_ = 0;
  std::u16string_view nodeValue_;
  std::u16string_view publicId_;
  std::u16string_view systemId_;
  bool isEmptyElement_ = false;
  std::uint8_t state_ = rsContent;
  char16_t quotation_ = 0;
  // The value of a numeric character reference, which NodeValue shows.
  char16_t referenceChar_ = 0;
  // After the start tag of script or style: the name whose end tag ends the
  // raw text that comes next; empty otherwise.
  std::u16string_view rawTextName_;

  TSearchMemo gtMemo_;
  TSearchMemo commentEndMemo_;
  TSearchMemo cdataEndMemo_;
  TSearchMemo doubleQuoteMemo_;
  TSearchMemo singleQuoteMemo_;
};

}  // namespace html
