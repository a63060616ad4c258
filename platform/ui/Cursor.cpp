// Cursor handles over QCursor, the library's cursor resources (XPM images with their hot spot
// in the header) and WM_SETCURSOR routing on mouse moves.
#include "platform/ui/Cursor.h"

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "platform/core/Numbers.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowLayer.h"
#include "platform/ui/WindowTable.h"

namespace {

// The library's cursor resources, built in.
#include "resources/pavlet/cursor_117.xpm"
#include "resources/pavlet/cursor_118.xpm"

struct CursorResource {
    UINT id;
    const char* const* xpm;
};
constexpr CursorResource kResources[] = {{117, cursor_117_xpm}, {118, cursor_118_xpm}};

constexpr const char* kSavedProperty = "kelmonCursorSaved";
constexpr const char* kOwnProperty = "kelmonOwnCursor";

class CursorTable {
public:
    static CursorTable& Instance() {
        static CursorTable table;
        return table;
    }
    HCURSOR Add(const QCursor& cursor) {
        cursors_.push_back(cursor);
        return static_cast<HCURSOR>(cursors_.size());
    }
    const QCursor* Find(HCURSOR cursor) const {
        return cursor >= 1 && cursor <= cursors_.size() ? &cursors_[cursor - 1] : nullptr;
    }
    // One handle per standard or resource id, made on first use.
    std::map<UINT, HCURSOR> byId;
    HCURSOR current = 0;
    QPointer<QWidget> answering;  // the window whose WM_SETCURSOR is being answered

private:
    std::vector<QCursor> cursors_;
};

bool StandardShape(UINT id, Qt::CursorShape* shape) {
    static const std::map<UINT, Qt::CursorShape> kShapes = {
        {IDC_ARROW, Qt::ArrowCursor},        {IDC_IBEAM, Qt::IBeamCursor},
        {IDC_WAIT, Qt::WaitCursor},          {IDC_CROSS, Qt::CrossCursor},
        {IDC_UPARROW, Qt::UpArrowCursor},    {IDC_SIZENWSE, Qt::SizeFDiagCursor},
        {IDC_SIZENESW, Qt::SizeBDiagCursor}, {IDC_SIZEWE, Qt::SizeHorCursor},
        {IDC_SIZENS, Qt::SizeVerCursor},     {IDC_SIZEALL, Qt::SizeAllCursor},
        {IDC_NO, Qt::ForbiddenCursor},       {IDC_HAND, Qt::PointingHandCursor},
        {IDC_APPSTARTING, Qt::BusyCursor},   {IDC_HELP, Qt::WhatsThisCursor},
    };
    auto found = kShapes.find(id);
    if (found == kShapes.end()) return false;
    *shape = found->second;
    return true;
}

// "w h colours chars [hotX hotY]": the hot spot, when the header has one.
bool XpmHotSpot(const char* header, QPoint* hotSpot) {
    int w = 0, h = 0, colours = 0, chars = 0, x = 0, y = 0;
    if (std::sscanf(header, "%d %d %d %d %d %d", &w, &h, &colours, &chars, &x, &y) != 6)
        return false;
    if (x < 0 || y < 0 || x >= w || y >= h) return false;
    *hotSpot = QPoint(x, y);
    return true;
}

void RememberOwnCursor(QWidget* widget) {
    if (widget->property(kSavedProperty).toBool()) return;
    widget->setProperty(kSavedProperty, true);
    widget->setProperty(kOwnProperty, widget->testAttribute(Qt::WA_SetCursor)
                                          ? QVariant::fromValue(widget->cursor())
                                          : QVariant());
}

void RestoreOwnCursor(QWidget* widget) {
    if (!widget->property(kSavedProperty).toBool()) return;
    QVariant own = widget->property(kOwnProperty);
    if (own.isValid())
        widget->setCursor(own.value<QCursor>());
    else
        widget->unsetCursor();
    widget->setProperty(kSavedProperty, QVariant());
    widget->setProperty(kOwnProperty, QVariant());
}

// The last mouse event asked about: Qt offers a move the child left alone to its parents too,
// and that is still one move.
struct LastMouse {
    QPointer<QWidget> widget;
    quint64 time = 0;
    QPointF at;
};

}  // namespace

HCURSOR LoadCursor(std::nullptr_t, UINT standardId) {
    platform::ui::InstallCursorRouting();
    CursorTable& table = CursorTable::Instance();
    if (auto found = table.byId.find(standardId); found != table.byId.end()) return found->second;
    Qt::CursorShape shape;
    if (!StandardShape(standardId, &shape)) return 0;
    return table.byId[standardId] = table.Add(QCursor(shape));
}

HCURSOR LoadCursor(UINT resourceId) {
    platform::ui::InstallCursorRouting();
    CursorTable& table = CursorTable::Instance();
    if (auto found = table.byId.find(resourceId); found != table.byId.end()) return found->second;
    Qt::CursorShape shape;
    if (StandardShape(resourceId, &shape)) return LoadCursor(nullptr, resourceId);
    for (const CursorResource& resource : kResources) {
        if (resource.id != resourceId) continue;
        QPoint hotSpot;
        XpmHotSpot(resource.xpm[0], &hotSpot);
        QPixmap image = QPixmap::fromImage(QImage(resource.xpm));
        return table.byId[resourceId] = table.Add(QCursor(image, hotSpot.x(), hotSpot.y()));
    }
    return 0;
}

HCURSOR LoadCursorFromFile(const std::string& path) {
    platform::ui::InstallCursorRouting();
    QImage image(QString::fromStdString(path));
    if (image.isNull()) return 0;
    QPoint hotSpot;
    bool found = false;
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".xpm") == 0) {
        // The XPM header line is the first quoted string of the file.
        if (FILE* file = std::fopen(path.c_str(), "rb")) {
            char line[256];
            while (!found && std::fgets(line, sizeof line, file))
                if (const char* quote = std::strchr(line, '"')) {
                    found = XpmHotSpot(quote + 1, &hotSpot);
                    break;
                }
            std::fclose(file);
        }
    }
    if (!found) {
        QStringList parts = image.text(QStringLiteral("HotSpot")).split(',');
        if (parts.size() == 2) {
            int x = platform::AtolSat(parts[0].trimmed().toStdString());
            int y = platform::AtolSat(parts[1].trimmed().toStdString());
            if (x >= 0 && y >= 0 && x < image.width() && y < image.height()) hotSpot = {x, y};
        }
    }
    return CursorTable::Instance().Add(
        QCursor(QPixmap::fromImage(image), hotSpot.x(), hotSpot.y()));
}

HCURSOR SetCursor(HCURSOR cursor) {
    platform::ui::InstallCursorRouting();
    CursorTable& table = CursorTable::Instance();
    const QCursor* shape = table.Find(cursor);
    if (cursor && !shape) return table.current;  // a bad handle changes nothing
    HCURSOR previous = table.current;
    table.current = cursor;
    QWidget* target = platform::ui::WidgetOf(GetCapture());
    if (!target) target = table.answering;
    if (!target) target = QApplication::widgetAt(QCursor::pos());
    if (!target) return previous;
    RememberOwnCursor(target);
    target->setCursor(shape ? *shape : QCursor(Qt::BlankCursor));
    return previous;
}

HCURSOR GetCursor() { return CursorTable::Instance().current; }

BOOL GetCursorPos(POINT* point) {
    if (!point) return FALSE;
    QPoint at = QCursor::pos();
    *point = POINT{at.x(), at.y()};
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    QCursor::setPos(x, y);
    return TRUE;
}

namespace platform::ui {

const QCursor* QCursorOf(HCURSOR cursor) { return CursorTable::Instance().Find(cursor); }

BOOL GetCursorHotSpot(HCURSOR cursor, POINT* hotSpot) {
    const QCursor* shape = QCursorOf(cursor);
    if (!shape || !hotSpot) return FALSE;
    QPoint at = shape->hotSpot();
    *hotSpot = POINT{at.x(), at.y()};
    return TRUE;
}

BOOL RouteSetCursor(HWND hwnd, UINT mouseMessage) {
    QWidget* widget = WidgetOf(hwnd);
    if (!widget) return FALSE;
    CursorTable& table = CursorTable::Instance();
    QPointer<QWidget> outer = table.answering;
    table.answering = widget;
    const LPARAM lParam = MAKELPARAM(HTCLIENT, static_cast<WORD>(mouseMessage));
    // The window first; what it leaves to the default goes to its parent, and so on up.
    BOOL set = FALSE;
    for (HWND asked = hwnd; asked && !set; asked = GetParent(asked))
        set = SendMessage(asked, WM_SETCURSOR, hwnd, lParam) ? TRUE : FALSE;
    if (!set) {
        if (QWidget* still = WidgetOf(hwnd)) RestoreOwnCursor(still);
    }
    table.answering = outer;
    return set;
}

void RouteCursorForMouse(QWidget* widget, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress) return;
    auto* mouse = static_cast<QMouseEvent*>(event);
    static LastMouse last;
    if (last.widget && mouse->timestamp() == last.time && mouse->globalPosition() == last.at &&
        widget->isAncestorOf(last.widget))
        return;
    last.widget = widget;
    last.time = mouse->timestamp();
    last.at = mouse->globalPosition();
    // While a window holds the capture the cursor stays what it set.
    if (GetCapture()) return;
    HWND hwnd = WindowTable::Instance().NearestWindow(widget);
    if (!hwnd) return;
    UINT message = WM_MOUSEMOVE;
    if (type == QEvent::MouseButtonPress)
        message = mouse->button() == Qt::RightButton    ? WM_RBUTTONDOWN
                  : mouse->button() == Qt::MiddleButton ? WM_MBUTTONDOWN
                                                        : WM_LBUTTONDOWN;
    RouteSetCursor(hwnd, message);
}

void InstallCursorRouting() {
    // The routing is part of the application's input filter.
    EnsureWindowLayer();
}

}  // namespace platform::ui
