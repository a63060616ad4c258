// CFlexFormView: a form view whose registered children follow its right and bottom edges, as
// those of a flex dialog do; margins of children registered later are measured against the
// size the view had at first.
#pragma once

#include <memory>
#include <vector>

#include "flexui/FlexDialog.h"
#include "platform/ui/FormView.h"

class CFlexFormView : public CFormView {
public:
    explicit CFlexFormView(UINT templateId);
    explicit CFlexFormView(const char* templateName);
    ~CFlexFormView() override;

    // Registers (or re-registers) a child and aligns it at once: a new child's margins come
    // from the design size, a registered one's from the present client rectangle.
    BOOL SetItemAlign(CWnd* child, DWORD flags);
    BOOL SetItemAlign(HWND child, DWORD flags);
    BOOL SetItemAlign(int controlId, DWORD flags);
    const std::vector<std::unique_ptr<FlexAlignEntry>>& GetAlignItems() const { return align_; }
    // The client rectangle at the first WM_SIZE (empty before it).
    RECT GetDesignRect() const { return design_; }

    BOOL DestroyWindow() override;
    void PostNcDestroy() override;

protected:
    void OnSize(UINT type, int cx, int cy) override;

private:
    void KeepDesignRect();
    void AlignOne(const FlexAlignEntry& entry);

    std::vector<std::unique_ptr<FlexAlignEntry>> align_;
    RECT design_{};
    bool haveDesign_ = false;
};
