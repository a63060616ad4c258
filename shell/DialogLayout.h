// Dialog layout helpers of the program: controls put in list order among their own places,
// one control lined up with another, and header items found by their item data.
#pragma once

#include <initializer_list>

#include "platform/ui/WinDefsTypes.h"

class CWnd;

namespace shell {

// AlignDlgControls flags.
inline constexpr UINT kAlignTopToBottom = 1;
inline constexpr UINT kAlignLeftToRight = 2;
inline constexpr UINT kAlignTabOrder = 4;

// Rearranges the listed controls among their own positions so that they stand in list order:
// flag 1 by their tops (top to bottom), flag 2 by their lefts (left to right); each control
// keeps its size and its other coordinate. Flag 4 also puts each control right after the
// previous one among its siblings, so the tab order follows the list. Ids that name no child
// of the dialog are skipped.
void AlignDlgControls(CWnd* dialog, UINT flags, std::initializer_list<int> ids);

// AlignDlgItemTo sides.
inline constexpr int kAlignSideTop = 1;
inline constexpr int kAlignSideBottom = 2;
inline constexpr int kAlignSideLeft = 3;
inline constexpr int kAlignSideRight = 4;

// Moves control `id` (keeping its size) so that the given side lines up with the same side of
// control `referenceId`. False when either control is missing or the side is unknown.
bool AlignDlgItemTo(CWnd* dialog, int id, int referenceId, int side);

// The item data (HDI_LPARAM) of a header item; 0 when there is no such item.
LPARAM GetHeaderItemData(HWND header, int index);
// The index of the first header item with that item data; -1 when none.
int FindHeaderItemByData(HWND header, LPARAM data);

}  // namespace shell
