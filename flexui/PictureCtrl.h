// CPictureCtrl: a static that shows a picture or plays an animated GIF, cutting the GIF into
// frames itself and stepping through them on a 50 ms timer.
#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/GdiObjects.h"
#include "platform/ui/Wnd.h"

// Picture flags.
inline constexpr DWORD PICTURE_GIF = 0x0001;
inline constexpr DWORD PICTURE_ANIMATED = 0x0100;

class CPictureCtrl : public CWnd {
public:
    struct Frame {
        QImage picture;
        int delay = 0;  // hundredths of a second
        int disposal = 0;
        SIZE size;
        POINT offset;
    };

    CPictureCtrl() = default;
    ~CPictureCtrl() override;

    // A "Static" window with this object handling it.
    BOOL Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id);

    // TRUE when at least one frame was loaded. A GIF of two or more frames animates.
    BOOL LoadPicture(const void* data, size_t length);
    // The media resource ":/<module>/<type>_<id>.*" (module null: the library's own; type null:
    // "bitmap").
    BOOL LoadPicture(UINT resourceId, const char* module = nullptr, const char* type = nullptr);
    BOOL LoadPicture(const std::string& fileName);
    BOOL IsAnimatedGIF() const { return (flags_ & PICTURE_ANIMATED) != 0; }
    int GetFrameCount() const { return static_cast<int>(frames_.size()); }
    int GetCurrentFrame() const { return current_; }
    const Frame* GetFrame(int index) const;
    // The GIF's background colour (its global colour table's entry), 0 without one.
    COLORREF GetGifBkColor() const { return gifBkColor_; }
    // CLR_INVALID: show what lies under the control.
    void SetBkColor(COLORREF color);
    // CLR_INVALID: no border line.
    void SetBorderColor(COLORREF color);

    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnTimer(UINT_PTR id) override;
    void OnDestroy() override;

private:
    void Unload();
    void DropContexts();
    void MakeBackground(int width, int height);
    // How long a frame shows, in ms.
    static int FrameTime(const Frame& frame);

    std::vector<Frame> frames_;
    DWORD flags_ = 0;
    COLORREF gifBkColor_ = 0;
    int current_ = 0;
    int remainingMs_ = 0;
    CBitmap background_;
    CBitmap display_;
    COLORREF bkColor_ = CLR_INVALID;
    COLORREF borderColor_ = CLR_INVALID;
};
