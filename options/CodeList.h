// The contract code lists of the options dialogs: a report list of owner data with one column
// "zqdm", and its answer to a display request for the rows it offers.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/WinDefsCommonControls.h"

class CWnd;

namespace options {

// One column "zqdm" as wide as the list's client less a scroll bar; full-row selection.
void PrepareCodeList(CWnd* list);

// Fills the request for the item's row of `rows`: its text (kept in `text`, which must outlive
// the request) and its image. An item outside the rows is left unanswered.
void AnswerCodeDisplay(NMLVDISPINFO* info, const std::vector<int>& rows, std::string& text,
                       const std::function<std::string(int)>& textOf,
                       const std::function<int(int)>& imageOf);

}  // namespace options
