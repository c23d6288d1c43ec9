#pragma once

#include "app_model/app_model.h"
#include "app_model/open_panel.h"

#include <QWidget>

#include <array>

class QGroupBox;
class QLabel;
class QPushButton;
class QScrollArea;

namespace vellumark::bindings {
class ModelObserver;
}  // namespace vellumark::bindings

namespace vellumark::toolkit {
class DatePicker;
class ElidedLabel;
class PopUpPicker;
class SegmentedPicker;
class Stepper;
class Toggle;
}  // namespace vellumark::toolkit

namespace vellumark::action_panel {

// The form in which the user chooses the action, the dates it writes, its parameters and the two
// options: sections "Action", "Settings" and "Options" in a scroll area. It keeps no state: every control
// shows one field of the model's configuration and an edit writes that field once; the only work of its
// own is asking `sourcePanel` for the file to lift dates from.
class ActionPanelView : public QWidget {
    Q_OBJECT

public:
    // The panel is never narrower than this, and wider where its controls need it (large fonts).
    static constexpr int kNarrowest = 320;

    ActionPanelView(AppModel& model, OpenPanel& sourcePanel, QWidget* parent = nullptr);
    ~ActionPanelView() override;

    // As wide as the widest control of any action's settings, so that no text is cut and choosing
    // another action never changes the width; the size policy keeps the panel at that width.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Shows the model's configuration as it is now; also run on the next event-loop pass after each change.
    void refresh();

    // Asks for one file or folder and makes it the lift source; cancelling changes nothing.
    void chooseSourceFile();

private:
    QGroupBox* makeActionSection();
    QGroupBox* makeSettingsSection();
    QGroupBox* makeOptionsSection();
    QWidget* makeSpecificDateSettings();
    QWidget* makeShiftSettings();
    QWidget* makeLiftSettings();
    QWidget* makeExplanation(const QString& text);
    template <typename Edit>
    void edit(Edit&& change);

    AppModel& model_;
    OpenPanel& sourcePanel_;
    QWidget* content_ = nullptr;
    QScrollArea* scroll_ = nullptr;

    toolkit::PopUpPicker* operationPicker_ = nullptr;
    QWidget* applyToRow_ = nullptr;
    toolkit::PopUpPicker* applyToPicker_ = nullptr;
    // One page of settings per action, in the order of DateActionKind's cases.
    std::array<QWidget*, 6> settingsPages_{};
    toolkit::DatePicker* datePicker_ = nullptr;
    toolkit::SegmentedPicker* directionPicker_ = nullptr;
    toolkit::Stepper* daysStepper_ = nullptr;
    toolkit::Stepper* hoursStepper_ = nullptr;
    toolkit::Stepper* minutesStepper_ = nullptr;
    toolkit::Stepper* secondsStepper_ = nullptr;
    QPushButton* chooseSourceButton_ = nullptr;
    QLabel* noSourceText_ = nullptr;
    QWidget* sourceRows_ = nullptr;
    toolkit::ElidedLabel* sourceName_ = nullptr;
    QLabel* sourceCreation_ = nullptr;
    QLabel* sourceModification_ = nullptr;
    toolkit::Toggle* autoCorrectToggle_ = nullptr;
    toolkit::Toggle* subfoldersToggle_ = nullptr;
    bindings::ModelObserver* observer_ = nullptr;
};

}  // namespace vellumark::action_panel
