// CProgressStatic: a static control that paints itself as a progress bar (a green bar over the
// button face) with its window text on top.
#pragma once

#include <cstdint>

#include "platform/ui/Wnd.h"

namespace settings::controls {

class CProgressStatic : public CWnd {
public:
    static constexpr COLORREF kBarColor = 0x79CD60;

    CProgressStatic();
    ~CProgressStatic() override;

    // A "Static" window painted by this object.
    BOOL Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id);

    // User-interface thread. The control answers the progress bar's PBM_SETRANGE32, PBM_SETPOS,
    // PBM_DELTAPOS, PBM_SETSTEP, PBM_STEPIT and PBM_GETPOS as these do, so that a worker
    // thread moves the bar by posting them.
    // Stores the bounds without repainting and without moving the position.
    void SetRange(int32_t lower, int32_t upper);
    void GetRange(int32_t& lower, int32_t& upper) const;
    // Clamps to lower..upper (to the lower bound when the bounds are crossed); the old one.
    int32_t SetPos(int32_t position);
    // Add and clamp to the upper bound only; the old position.
    int32_t OffsetPos(int32_t delta);
    int32_t SetStep(int32_t step);
    int32_t StepIt();
    int32_t GetPos() const { return position_; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnPaint() override;

private:
    int32_t MoveBy(int64_t delta);
    void RepaintNow();

    int32_t lower_ = 0;
    int32_t upper_ = 99;
    int32_t step_ = 10;
    int32_t position_ = 0;
};

}  // namespace settings::controls
