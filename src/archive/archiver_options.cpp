#include "archive/archiver_options.h"

#include <algorithm>

namespace archive {
namespace {

// The default of one field; IncludeExtraStreams and StreamSeparator are
// left alone (see Reset).
void ResetField(TArchiverOptions& options, std::int8_t TArchiverOptions::*member) {
  options.*member = -1;
}

void ResetField(TArchiverOptions& options, std::string TArchiverOptions::*member) {
  if (member != &TArchiverOptions::StreamSeparator) {
    (options.*member).clear();
  }
}

void ResetField(TArchiverOptions& options, rtl::TStringList TArchiverOptions::*member) {
  options.*member = rtl::TStringList();
}

void ResetField(TArchiverOptions& options, TPackFilter TArchiverOptions::*member) {
  options.*member = pfComponent;
}

void ResetField(TArchiverOptions& options, TResFileUsage TArchiverOptions::*member) {
  options.*member = kDefaultResFileUsage;
}

void ResetField(TArchiverOptions& /*options*/, bool TArchiverOptions::* /*member*/) {}

}  // namespace

TArchiverOptions::TArchiverOptions() {
  Reset();
}

void TArchiverOptions::Reset() {
  for (const TOptionField& field : ArchiverOptionFields) {
    std::visit([this](auto member) { ResetField(*this, member); }, field.Member);
  }
}

void TArchiverOptions::AssignTo(rtl::TPersistent& dest) const {
  auto* target = dynamic_cast<TArchiverOptions*>(&dest);
  if (target == nullptr) {
    TPersistent::AssignTo(dest);
    return;
  }
  for (const TOptionField& field : ArchiverOptionFields) {
    std::visit([this, target](auto member) { target->*member = this->*member; }, field.Member);
  }
}

const TOptionField* FindOptionField(std::string_view name) {
  const auto* found =
      std::find_if(ArchiverOptionFields.begin(), ArchiverOptionFields.end(),
                   [name](const TOptionField& field) { return field.Name == name; });
  return found == ArchiverOptionFields.end() ? nullptr : found;
}

}  // namespace archive
