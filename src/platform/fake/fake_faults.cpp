#include "platform/fake/fake_faults.h"

#include "common/text.h"

namespace sv::fake {

void Faults::Inject(Op op, std::string target, platform::WinError error) {
  rules_.push_back({op, std::move(target), error});
}

std::optional<platform::WinError> Faults::Find(Op op, std::string_view target) const {
  for (const Rule& rule : rules_) {
    if (rule.op == op && (rule.target == "*" || SameTextAscii(rule.target, target))) {
      return rule.error;
    }
  }
  return std::nullopt;
}

}  // namespace sv::fake
