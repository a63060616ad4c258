// The window folders' RegisterParts, called in the folders' order.
#include "kelmon/RegisterParts.h"

#include "market/Parts.h"
#include "options/Parts.h"
#include "orderentry/Parts.h"
#include "settings/Parts.h"
#include "views/Parts.h"

namespace kelmon {

void RegisterParts() {
    orderentry::RegisterParts();
    market::RegisterParts();
    options::RegisterParts();
    views::RegisterParts();
    settings::RegisterParts();
}

}  // namespace kelmon
