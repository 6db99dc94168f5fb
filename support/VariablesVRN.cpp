#include "support/VariablesVRN.h"

namespace vrn {

VariablesVRN& vrnVars() {
  static VariablesVRN vars;
  return vars;
}

void resetVariablesVRN() { vrnVars() = VariablesVRN(); }

QString countText(const std::optional<int>& count) { return count ? QString::number(*count) : QString(); }

}  // namespace vrn
