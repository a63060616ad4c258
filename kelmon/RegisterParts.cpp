// The window folders' RegisterParts, called in the folders' order.
#include "kelmon/RegisterParts.h"

#include "orderentry/Parts.h"
#include "settings/Parts.h"

namespace kelmon {

void RegisterParts() {
    orderentry::RegisterParts();
    settings::RegisterParts();
}

}  // namespace kelmon
