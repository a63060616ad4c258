// CCodePickerDlg: the frame the favourites dialogs share: a list of offered contracts (owner
// data, one column "zqdm"), the ordered tree of chosen codes, and the buttons that add, delete,
// clear and move codes, each enabled only when it can act.
#pragma once

#include <string>
#include <vector>

#include "options/OrderedCodeTree.h"
#include "platform/ui/Dialog.h"

namespace options {

class CCodePickerDlg : public CDialog {
public:
    static constexpr int kAddId = 1001;
    static constexpr int kDeleteId = 1002;
    static constexpr int kClearId = 1003;
    static constexpr int kMoveUpId = 1004;
    static constexpr int kMoveDownId = 1005;
    static constexpr int kListId = 1007;
    static constexpr int kChosenId = 1008;

    CCodePickerDlg(UINT templateId, CWnd* parent);
    ~CCodePickerDlg() override;

    // The contract rows offered, in the order shown; the chosen codes in tree order.
    const std::vector<int>& OfferedRows() const { return offered_; }
    std::vector<std::string> ChosenCodes() const { return chosen_.Codes(); }

    BOOL OnInitDialog() override;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // What a row of the offered list shows, the code it adds, and its image (-1: none).
    virtual std::string OfferedText(int row) const = 0;
    virtual std::string OfferedCode(int row) const = 0;
    virtual int OfferedImage(int /*row*/) const { return -1; }

    void SetOffered(std::vector<int> rows);
    void UpdateButtons();
    LRESULT SendItem(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    OrderedCodeTree chosen_;

private:
    void AddSelected();

    std::vector<int> offered_;
    std::string text_;  // the list's answer to a display request
};

}  // namespace options
