#pragma once

#include "app_model/app_model.h"
#include "model/planner.h"
#include "qt_test_support.h"
#include "support/fake_file_access.h"
#include "support/scripted_open_panel.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace vellumark::testing {

inline constexpr std::int64_t kHour = 3600;
inline const Date kNow = Date::fromParts(1'700'000'000);
inline const Date kCreated = kNow.addingSeconds(-40 * 24 * kHour);
inline const Date kModified = kNow.addingSeconds(-10 * 24 * kHour);

inline DateAttributes pastDates() {
    return {kCreated, kModified};
}

// Lets every refresh that model writes have scheduled run, as the event loop would before the next input.
inline void settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

inline QMessageBox* modalBox(const char* name) {
    QWidget* modal = QApplication::activeModalWidget();
    auto* box = qobject_cast<QMessageBox*>(modal);
    return box != nullptr && box->objectName() == QLatin1String(name) && box->isVisible() ? box : nullptr;
}

inline QAbstractButton* buttonWithText(QMessageBox& box, const QString& text) {
    for (QAbstractButton* button : box.buttons()) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}

inline QStringList buttonTexts(const QMessageBox& box) {
    QStringList texts;
    for (QAbstractButton* button : box.buttons()) {
        texts << button->text();
    }
    return texts;
}

// A text/uri-list as a file manager puts it on a drag: one URL a line, CRLF line ends.
inline QByteArray uriList(const std::vector<std::filesystem::path>& paths) {
    QByteArray list;
    for (const auto& path : paths) {
        list += QUrl::fromLocalFile(QString::fromStdString(path.native())).toEncoded() + "\r\n";
    }
    return list;
}

inline std::vector<std::string> listedPaths(const AppModel& model) {
    std::vector<std::string> paths;
    for (const FileItem& item : model.items()) {
        paths.push_back(item.url().native());
    }
    return paths;
}

}  // namespace vellumark::testing
