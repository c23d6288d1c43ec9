#pragma once

// What the programs that save pictures of the views share: where the pictures go, letting the window draw,
// and saving the screen.
#include "dark_palette.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <iostream>

namespace vellumark::testing {

// The folder the pictures go to, made if missing: the first argument, "screenshots" by default. A second
// argument "dark" draws them in the dark palette.
inline QString pictureFolder(int argc, char** argv) {
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    if (argc > 2 && QString::fromLatin1(argv[2]) == QLatin1String("dark")) {
        QApplication::setPalette(darkPalette());
    }
    QDir().mkpath(folder);
    return folder;
}

// Lets posted work and redraws run, with time for timers and animations.
inline void settleForPicture() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QTest::qWait(60);
    }
}

// Saves the whole screen as `name`.png in `folder` and prints the file's path.
inline void shoot(const QString& folder, const QString& name) {
    settleForPicture();
    const QString file = QDir(folder).filePath(name + ".png");
    QGuiApplication::primaryScreen()->grabWindow(0).save(file);
    std::cout << file.toStdString() << '\n';
}

}  // namespace vellumark::testing
