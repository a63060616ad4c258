// The window code's precompiled header: the Qt and standard headers that most window sources
// include and that seldom change. Never include it by name; the build gives it to every window
// target (kelmon_window_pch in KelmonTargets.cmake). The core never sees it.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
