// Objects that may name an owner. The owner knows its components and tells
// them when it goes, so neither ever refers to the other after its end;
// memory stays with whoever created each object.
#pragma once

#include <algorithm>
#include <vector>

namespace rtl {

class TComponent {
 public:
  explicit TComponent(TComponent* owner) : owner_(owner) {
    if (owner_ != nullptr) {
      owner_->components_.push_back(this);
    }
  }
  virtual ~TComponent() {
    for (TComponent* component : components_) {
      component->owner_ = nullptr;
    }
    if (owner_ != nullptr) {
      std::erase(owner_->components_, this);
    }
  }
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  const std::vector<TComponent*>& Components() const { return components_; }

 private:
  TComponent* owner_;
  std::vector<TComponent*> components_;
};

}  // namespace rtl
