// Dialog data exchange: moving values between a dialog's members and its controls in either
// direction (UpdateData), with the checks that refuse a bad entry.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ui/WinDefsTypes.h"

class CWnd;

// Thrown by CDataExchange::Fail and caught by UpdateData.
struct DataExchangeFailure {};

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate)
        : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

    // The control of that id (remembered for Fail); 0 when the dialog has none.
    HWND PrepareCtrl(int id);
    // After a refused entry: focuses the last prepared control (its text selected) and
    // abandons the exchange.
    [[noreturn]] void Fail();

    BOOL m_bSaveAndValidate;  // TRUE: controls -> members
    CWnd* m_pDlgWnd;

private:
    HWND last_ = 0;
};

// Texts and numbers of edit-like controls. Numbers are decimal, locale-free; on save an entry
// that is not one number in the member's range is refused with a message box.
void DDX_Text(CDataExchange* dx, int id, std::string& value);
void DDX_Text(CDataExchange* dx, int id, int32_t& value);
void DDX_Text(CDataExchange* dx, int id, uint32_t& value);
void DDX_Text(CDataExchange* dx, int id, int64_t& value);
void DDX_Text(CDataExchange* dx, int id, double& value);
// A check box: BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
void DDX_Check(CDataExchange* dx, int id, int& value);
// A run of radio buttons starting at `id` (the WS_GROUP one) up to the next WS_GROUP: the
// index of the checked one, -1 when none.
void DDX_Radio(CDataExchange* dx, int id, int& value);
// Attaches the control's handler object to the control (first exchange only).
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
