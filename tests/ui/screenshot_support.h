#pragma once

// What the programs that save pictures of the views share: letting the window draw, and saving the screen.
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <iostream>

namespace vellumark::testing {

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
