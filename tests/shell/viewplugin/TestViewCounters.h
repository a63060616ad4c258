// What the test view plug-in counts, read back by the frame's tests through the plug-in's
// "TestViewCountersOf" export.
#pragma once

#include <cstdint>

#include "shell/ViewPlugin.h"

struct TestViewCounters {
    int instanceAsked = 0;
    int workPlaceAsked = 0;
    int created = 0;
    int released = 0;
    int refreshes = 0;
    uint32_t lastRefreshBits = 0;
    shell::ViewCreateParams lastParams;
    char resourceModuleAtCreate[64] = {};
    uint32_t instanceSizeSeen = 0;
    uint32_t workPlaceSizeSeen = 0;
};
