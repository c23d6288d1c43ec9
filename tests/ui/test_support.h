#pragma once

#include "app_model/file_access.h"
#include "app_model/open_panel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <vector>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace vellumark::testing {

// Files and folders in memory: a path is listed with its dates (nullopt: unreadable).
class InMemoryFileAccess final : public FileAccess {
public:
    struct Entry {
        bool isDirectory = false;
        std::optional<DateAttributes> dates;
    };

    void addFile(const std::filesystem::path& path, std::optional<Date> creation,
                 std::optional<Date> modification);
    void addFolder(const std::filesystem::path& path, std::optional<Date> creation,
                   std::optional<Date> modification);
    void addUnreadable(const std::filesystem::path& path);

    Existence fileExists(const std::filesystem::path& path) const override;
    std::optional<DateAttributes> attributes(const std::filesystem::path& path) const override;
    bool enumerateDescendants(const std::filesystem::path& folder,
                              const std::function<void(const std::filesystem::path&)>& visit) const override;
    std::optional<std::string> setAttributes(const std::filesystem::path& path,
                                             const DateAttributes& dates) override;

private:
    std::map<std::filesystem::path, Entry> entries_;
};

// Answers each runModal with the next scripted answer (nullopt: cancelled) and keeps the options asked.
class ScriptedOpenPanel final : public OpenPanel {
public:
    void willAnswer(std::optional<std::vector<std::filesystem::path>> answer) {
        answers_.push_back(std::move(answer));
    }

    std::optional<std::vector<std::filesystem::path>> runModal(const OpenPanelOptions& options) override;

    std::vector<OpenPanelOptions> asked;

private:
    std::deque<std::optional<std::vector<std::filesystem::path>>> answers_;
};

// Processes events until `condition` holds or a second has passed; returns the condition.
template <typename Condition>
bool processEventsUntil(Condition&& condition, int timeoutMs = 1000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return condition();
}

}  // namespace vellumark::testing
