#pragma once

#include "app_model/app_model.h"
#include "app_model/file_access.h"
#include "app_model/open_panel.h"
#include "model/planner.h"

#include <memory>
#include <vector>

namespace vellumark {

class ContentView;

namespace bindings {
class QtOpenPanel;
}

// The application: the one model of the run, created on first use and kept until the end, and the
// windows that show it, each with the File menu's "Add Files…" in place of the new-item entries.
class VellumarkApp {
public:
    static constexpr int kMinimumWidth = 820;
    static constexpr int kMinimumHeight = 480;

    // The real file system and the real open panels.
    VellumarkApp();
    // Tests bring their own file access and open panel, and a journal where they need one.
    // Without a HandBack, adding and applying run within the call, as tests need.
    VellumarkApp(FileAccess& files, OpenPanel& openPanel, Clock clock = systemClock(), HandBack handBack = {},
                 RunJournal* journal = nullptr);
    ~VellumarkApp();
    VellumarkApp(const VellumarkApp&) = delete;
    VellumarkApp& operator=(const VellumarkApp&) = delete;

    // Every call, from a window or a command, returns the same model.
    AppModel& model();

    // A new window on the shared model, not yet shown. The application keeps it.
    ContentView& openWindow();

    // The process entry: a QApplication, one window, the event loop.
    static int run(int argc, char** argv);

private:
    std::unique_ptr<FileAccess> ownedFiles_;
    std::unique_ptr<bindings::QtOpenPanel> ownedPanel_;
    std::unique_ptr<RunJournal> ownedJournal_;
    FileAccess& files_;
    OpenPanel& openPanel_;
    Clock clock_;
    HandBack handBack_;
    RunJournal* journal_ = nullptr;
    std::unique_ptr<AppModel> model_;
    // Declared after the model so that the windows go first.
    std::vector<std::unique_ptr<ContentView>> windows_;
};

}  // namespace vellumark
