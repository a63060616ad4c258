// CWaitPopup: its template, the worker's posts to the bar, and the close that
// frees it.
#include "settings/controls/WaitPopup.h"

#include <utility>

#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WindowApi.h"

namespace settings::controls {

namespace {

// Posted by PostText: the text waiting in the pop-up goes on the bar.
constexpr UINT kApplyPostedText = WM_APP + 0x60;

}  // namespace

CWaitPopup::CWaitPopup() : CDialog(IDD) {}

CWaitPopup::~CWaitPopup() {
    if (worker_.joinable()) {
        worker_.request_stop();
        worker_.join();
    }
}

BOOL CWaitPopup::Create(CWnd* parent) {
    if (!CDialog::Create(IDD, parent)) return FALSE;
    freeOnDestroy_ = true;
    return TRUE;
}

BOOL CWaitPopup::OnInitDialog() {
    CDialog::OnInitDialog();
    progress_.SubclassDlgItem(kProgressId, this);
    popup_ = m_hWnd;
    bar_ = progress_.m_hWnd;
    return FALSE;
}

BOOL CWaitPopup::StartWorker(Work work) {
    if (!m_hWnd || worker_.joinable() || !work) return FALSE;
    worker_ = std::jthread(
        [this, body = std::move(work)](std::stop_token stop) { body(std::move(stop), *this); });
    return TRUE;
}

void CWaitPopup::OnOK() {}
void CWaitPopup::OnCancel() {}

void CWaitPopup::OnClose() {
    ShowWindow(SW_HIDE);
    DestroyWindow();
}

void CWaitPopup::PostNcDestroy() {
    if (freeOnDestroy_) delete this;
}

LRESULT CWaitPopup::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kApplyPostedText:
            ApplyPostedText();
            return 0;
        default:
            return CDialog::WindowProc(message, wParam, lParam);
    }
}

void CWaitPopup::PostText(const std::string& text) {
    {
        std::lock_guard lock(textLock_);
        postedText_ = text;
    }
    ::PostMessage(popup_, kApplyPostedText, 0, 0);
}

void CWaitPopup::ApplyPostedText() {
    std::string text;
    {
        std::lock_guard lock(textLock_);
        text = postedText_;
    }
    if (!progress_.m_hWnd) return;
    progress_.SetWindowText(text);
    progress_.Invalidate();
}

void CWaitPopup::PostToBar(UINT message, WPARAM wParam, LPARAM lParam) {
    ::PostMessage(bar_, message, wParam, lParam);
}

void CWaitPopup::PostRange(int32_t lower, int32_t upper) {
    PostToBar(PBM_SETRANGE32, static_cast<WPARAM>(static_cast<intptr_t>(lower)), upper);
}
void CWaitPopup::PostPos(int32_t position) {
    PostToBar(PBM_SETPOS, static_cast<WPARAM>(static_cast<intptr_t>(position)));
}
void CWaitPopup::PostOffset(int32_t delta) {
    PostToBar(PBM_DELTAPOS, static_cast<WPARAM>(static_cast<intptr_t>(delta)));
}
void CWaitPopup::PostStep(int32_t step) {
    PostToBar(PBM_SETSTEP, static_cast<WPARAM>(static_cast<intptr_t>(step)));
}
void CWaitPopup::PostStepIt() { PostToBar(PBM_STEPIT, 0); }
void CWaitPopup::PostClose() { ::PostMessage(popup_, WM_CLOSE, 0, 0); }

CWaitPopup* ShowWaitPopup(const std::string& title, CWaitPopup::Work work) {
    auto* popup = new CWaitPopup;
    if (!popup->Create(AfxGetMainWnd())) {
        delete popup;
        return nullptr;
    }
    popup->ShowWindow(SW_SHOWNOACTIVATE);
    popup->SetWindowText(title);
    popup->StartWorker(std::move(work));
    return popup;
}

}  // namespace settings::controls
