// CWaitPopup: the small modeless pop-up that shows a title and a progress bar
// while a worker thread runs a long operation; ShowWaitPopup opens it and
// starts the worker in one call.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

#include "platform/ui/Dialog.h"
#include "settings/controls/ProgressStatic.h"

namespace settings::controls {

class CWaitPopup : public CDialog {
public:
    static constexpr UINT IDD = 259;
    static constexpr int kProgressId = 1000;
    // The worker's body. It drives the pop-up only through the Post* calls and
    // ends by PostClose, after which it leaves the pop-up alone; its stop token
    // is requested when the pop-up goes for another reason (its owner closing),
    // and the pop-up waits for it then.
    using Work = std::function<void(std::stop_token, CWaitPopup&)>;

    // Made with new: the pop-up frees itself once its window is gone.
    CWaitPopup();
    // Joins the worker (which has posted its close, or was asked to stop).
    ~CWaitPopup() override;

    // Modeless, hidden, on its template, owned by `parent`. On failure nothing is
    // freed: the caller deletes the object.
    BOOL Create(CWnd* parent);
    // Runs the work on the pop-up's own thread; FALSE when a worker was started
    // already or the window does not exist.
    BOOL StartWorker(Work work);

    // User-interface thread.
    CProgressStatic& GetProgress() { return progress_; }

    // Any thread, while the pop-up is open: the bar's text, range and position as
    // the progress static's methods set them, and the close.
    void PostText(const std::string& text);
    void PostRange(int32_t lower, int32_t upper);
    void PostPos(int32_t position);
    void PostOffset(int32_t delta);
    void PostStep(int32_t step);
    void PostStepIt();
    void PostClose();

    BOOL OnInitDialog() override;
    // Enter and Esc do not close the pop-up: only its worker does.
    void OnOK() override;
    void OnCancel() override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnClose() override;
    // The pop-up frees itself once its window is gone.
    void PostNcDestroy() override;

private:
    void PostToBar(UINT message, WPARAM wParam, LPARAM lParam = 0);
    void ApplyPostedText();

    CProgressStatic progress_;
    // Fixed before the worker starts, so that it posts without touching the
    // windows' objects.
    HWND popup_ = 0;
    HWND bar_ = 0;
    bool freeOnDestroy_ = false;  // a failed Create leaves the object to its maker
    std::mutex textLock_;
    std::string postedText_;
    std::jthread worker_;  // last: it is joined before the rest of the pop-up goes
};

// Opens the pop-up over the main window without activating it, with the title
// as its caption (centred on the main window by its template), and starts the
// work. The pop-up, or null when it cannot be made (the work is not started
// then).
CWaitPopup* ShowWaitPopup(const std::string& title, CWaitPopup::Work work);

}  // namespace settings::controls
