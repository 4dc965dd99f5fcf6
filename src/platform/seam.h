// Process-wide default instances that a test may replace for its duration.
#pragma once

namespace platform {

template <class Interface>
class Seam {
 public:
  static Interface& Current() { return override_ != nullptr ? *override_ : Default(); }
  static Interface* Swap(Interface* replacement) {
    Interface* previous = override_;
    override_ = replacement;
    return previous;
  }

 private:
  static Interface& Default();  // defined by the backend
  static inline Interface* override_ = nullptr;
};

// RAII: `replacement` serves as the current instance while this lives.
template <class Interface>
class ScopedOverride {
 public:
  explicit ScopedOverride(Interface& replacement)
      : previous_(Seam<Interface>::Swap(&replacement)) {}
  ~ScopedOverride() { Seam<Interface>::Swap(previous_); }
  ScopedOverride(const ScopedOverride&) = delete;
  ScopedOverride& operator=(const ScopedOverride&) = delete;

 private:
  Interface* previous_;
};

}  // namespace platform
