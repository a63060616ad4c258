// The handle table of the window layer.
#include "platform/ui/WindowTable.h"

#include <QWidget>
#include <limits>
#include <mutex>

#include "platform/ui/Wnd.h"

namespace platform::ui {

WindowTable& WindowTable::Instance() {
    static WindowTable table;
    return table;
}

HWND WindowTable::Register(QWidget* widget, const WindowClass* windowClass, std::string className,
                           DWORD style, DWORD exStyle, int32_t id) {
    std::unique_lock lock(mutex_);
    if (last_ == std::numeric_limits<HWND>::max()) return 0;  // never wrap into old ids
    auto record = std::make_unique<WindowRecord>();
    record->hwnd = ++last_;
    record->widget = widget;
    record->windowClass = windowClass;
    record->className = std::move(className);
    record->style = style;
    record->exStyle = exStyle;
    record->id = id;
    HWND hwnd = record->hwnd;
    byWidget_[widget] = hwnd;
    records_.emplace(hwnd, std::move(record));
    return hwnd;
}

std::unique_ptr<WindowRecord> WindowTable::Remove(HWND hwnd) {
    std::unique_lock lock(mutex_);
    auto it = records_.find(hwnd);
    if (it == records_.end()) return nullptr;
    std::unique_ptr<WindowRecord> record = std::move(it->second);
    records_.erase(it);
    byWidget_.erase(record->widget);
    return record;
}

bool WindowTable::Contains(HWND hwnd) const {
    if (hwnd == 0) return false;
    std::shared_lock lock(mutex_);
    return records_.count(hwnd) != 0;
}

CWnd* WindowTable::Permanent(HWND hwnd) const {
    std::shared_lock lock(mutex_);
    auto it = records_.find(hwnd);
    return it == records_.end() ? nullptr : it->second->permanent;
}

CWnd* WindowTable::FromHandle(HWND hwnd) {
    std::unique_lock lock(mutex_);
    auto it = records_.find(hwnd);
    if (it == records_.end()) return nullptr;
    WindowRecord& record = *it->second;
    if (record.permanent) return record.permanent;
    if (!record.temporary) {
        record.temporary = std::make_unique<CWnd>();
        record.temporary->m_hWnd = hwnd;
    }
    return record.temporary.get();
}

WindowRecord* WindowTable::Find(HWND hwnd) const {
    std::shared_lock lock(mutex_);
    auto it = records_.find(hwnd);
    return it == records_.end() ? nullptr : it->second.get();
}

HWND WindowTable::HandleOf(const QObject* widget) const {
    std::shared_lock lock(mutex_);
    auto it = byWidget_.find(widget);
    return it == byWidget_.end() ? 0 : it->second;
}

HWND WindowTable::NearestWindow(const QWidget* widget) const {
    std::shared_lock lock(mutex_);
    for (; widget; widget = widget->parentWidget()) {
        auto it = byWidget_.find(widget);
        if (it != byWidget_.end()) return it->second;
    }
    return 0;
}

size_t WindowTable::Size() const {
    std::shared_lock lock(mutex_);
    return records_.size();
}

}  // namespace platform::ui
