// All of the window layer's types and codes in one include, for code that has not narrowed its
// includes yet. New code includes the area headers it uses (WinDefsTypes.h, WinDefsMessages.h,
// WinDefsBoxes.h, WinDefsDraw.h, WinDefsControls.h, WinDefsCommonControls.h), so that a change in
// one area rebuilds only the files that use it.
#pragma once

#include "platform/ui/WinDefsBoxes.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WinDefsDraw.h"
#include "platform/ui/WinDefsMessages.h"
#include "platform/ui/WinDefsTypes.h"
