#include "sourcestate.h"

namespace viewer {

SourceState& state() {
  static SourceState s;
  return s;
}

}  // namespace viewer
