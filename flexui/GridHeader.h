// CGridHeader: the handler object of a record grid's header, which passes every message to the
// grid's header procedure so that the grid paints and tracks its own header.
#pragma once

#include "flexui/GridCtrl.h"

class CGridHeader : public CWnd {
public:
    explicit CGridHeader(CGridCtrl* grid) : grid_(grid) {}
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        return grid_->FlexHeaderCtrlWindowProc(m_hWnd, message, wParam, lParam);
    }
    // The header class's own behaviour.
    LRESULT CallDefault(UINT message, WPARAM wParam, LPARAM lParam) {
        return CWnd::WindowProc(message, wParam, lParam);
    }

private:
    CGridCtrl* grid_;
};
