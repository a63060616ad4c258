// The range controls: the trackbar "msctls_trackbar32" (a slider the user moves, told to the
// parent as WM_HSCROLL / WM_VSCROLL) and the progress bar "msctls_progress32", with their
// CSliderCtrl and CProgressCtrl objects.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/WinDefsTypes.h"
#include "platform/ui/WindowClass.h"
#include "platform/ui/Wnd.h"

// A trackbar. The range starts at 0..100, the line size at 1, and the page size follows a fifth
// of the range until it is set. Positions set by the program are clamped to the range and
// notify nobody; only what the user does reaches the parent.
class CSliderCtrl : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

    // A minimum above the maximum takes the maximum up with it.
    void SetRange(int minimum, int maximum, BOOL redraw = FALSE);
    void SetRangeMin(int minimum, BOOL redraw = FALSE);
    void SetRangeMax(int maximum, BOOL redraw = FALSE);
    void GetRange(int& minimum, int& maximum) const;
    int GetRangeMin() const;
    int GetRangeMax() const;
    void SetPos(int position);
    int GetPos() const;
    // A tick every `frequency` positions, with TBS_AUTOTICKS.
    void SetTicFreq(int frequency);
    int SetPageSize(int size);  // these two return the previous size
    int GetPageSize() const;
    int SetLineSize(int size);
    int GetLineSize() const;
};

// A progress bar: range 0..100 and step 10 to start with. Every position is clamped to the
// range, StepIt's too (it does not wrap round to the start).
class CProgressCtrl : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

    void SetRange(short lower, short upper);
    void SetRange32(int lower, int upper);
    void GetRange(int& lower, int& upper) const;
    int SetPos(int position);  // these four return the previous position
    int OffsetPos(int delta);
    int StepIt();
    int GetPos() const;
    int SetStep(int step);  // returns the previous step
};

namespace platform::ui {

// The filled length of a progress bar `length` long: (position - lower) / (upper - lower) of
// it, truncated; 0 for an empty or crossed range or a position at or below the lower bound,
// never more than the length (a range made smaller under the position fills it).
int ProgressLength(int64_t lower, int64_t upper, int64_t position, int length);

// Adds "msctls_trackbar32" and "msctls_progress32" to the standard classes.
void AddRangeControlClasses(
    std::vector<std::pair<std::string, std::unique_ptr<WindowClass>>>& classes);

}  // namespace platform::ui
