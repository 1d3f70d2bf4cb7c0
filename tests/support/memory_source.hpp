// Characters from memory for the free-form reader, for tests, fuzz targets
// and benchmarks. The text comes whole, chunk characters per refill, or as
// given pieces (console lines); every refill builds a fresh window holding
// exactly the kept characters and the new ones, and spoils the window given
// up, so a reader that still looks at text it did not ask to keep sees junk.
// A refill asked to keep more than the window held, or made before the
// window was used up, is recorded in misuse().
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "numtext/char_source.hpp"

namespace elab_test {

class MemorySource final : public numtext::CharSource {
 public:
  static constexpr std::size_t kWhole = static_cast<std::size_t>(-1);

  explicit MemorySource(const std::string& text, std::size_t chunk = kWhole) {
    chunk = std::max<std::size_t>(chunk, 1);
    for (std::size_t at = 0; at < text.size(); at += std::min(chunk, text.size() - at))
      pieces_.push_back(text.substr(at, chunk));
  }
  explicit MemorySource(std::vector<std::string> pieces) : pieces_(std::move(pieces)) {}

  bool refill(std::size_t keep_back) override {
    ++refills_;
    if (next_ == pieces_.size()) return false;
    const std::size_t held = windows_.empty() ? 0 : static_cast<std::size_t>(pos - windows_.back()->data());
    if (keep_back > held) misuse_ = "asked to keep more than the window held";
    if (pos != end) misuse_ = "refill before the window was used up";
    keep_back = std::min(keep_back, held);
    if (check_ != nullptr) check_(pieces_[next_]);
    auto w = std::make_unique<std::string>();
    if (keep_back > 0) w->assign(pos - keep_back, keep_back);
    w->append(pieces_[next_++]);
    if (!windows_.empty()) std::fill(windows_.back()->begin(), windows_.back()->end(), '#');
    windows_.push_back(std::move(w));
    pos = windows_.back()->data() + keep_back;
    end = windows_.back()->data() + windows_.back()->size();
    return true;
  }

  // Called with each piece as a refill takes it; it may throw, as a real
  // source fails at the piece it cannot deliver.
  void check_each_piece(void (*check)(const std::string& piece)) { check_ = check; }

  int refills() const { return refills_; }
  const std::string& misuse() const { return misuse_; }

 private:
  std::vector<std::string> pieces_;
  std::size_t next_ = 0;
  int refills_ = 0;
  std::string misuse_;
  void (*check_)(const std::string&) = nullptr;
  std::vector<std::unique_ptr<std::string>> windows_;
};

}  // namespace elab_test
