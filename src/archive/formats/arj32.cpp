#include "archive/formats/arj32.h"

#include <array>

#include "archive/errors.h"
#include "platform/fs.h"
#include "rtl/codepage.h"

namespace archive {
namespace {

constexpr std::array<TCommandPlan, kLhaCommandPlans.size()> ArjCommandPlans() {
  std::array<TCommandPlan, kLhaCommandPlans.size()> plans = kLhaCommandPlans;
  for (TCommandPlan& plan : plans) {
    if (plan.Builder == TBuilder::Extract) {
      plan.ResponseFile = TResponseFileRule::Caller;
    }
  }
  return plans;
}

constexpr std::array<TCommandPlan, kLhaCommandPlans.size()> kArjCommandPlans = ArjCommandPlans();

}  // namespace

std::span<const TCommandPlan> TArj32::CommandPlans() const {
  return kArjCommandPlans;
}

bool IsArjArchive(const std::string& fileName) {
  return TArj32::OpensArchive(fileName, false);
}

}  // namespace archive
