// Where the window tests leave PNG screenshots for a person to look at: <build folder>/screenshots
// (the folder holding CMakeCache.txt above the test program), created on first use.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QString>

namespace kelmon::test::ui {

inline QString ScreenshotDir() {
    QDir dir(QCoreApplication::applicationDirPath());
    while (!dir.exists("CMakeCache.txt") && dir.cdUp()) {
    }
    if (!dir.exists("CMakeCache.txt")) dir = QDir(QCoreApplication::applicationDirPath());
    dir.mkpath("screenshots");
    return dir.filePath("screenshots");
}

}  // namespace kelmon::test::ui
