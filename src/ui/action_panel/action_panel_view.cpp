#include "ui/action_panel/action_panel_view.h"

#include "model/action_vocabulary.h"
#include "ui/bindings/model_observer.h"
#include "ui/toolkit/commands.h"
#include "ui/toolkit/date_picker.h"
#include "ui/toolkit/date_text.h"
#include "ui/toolkit/elided_label.h"
#include "ui/toolkit/path_text.h"
#include "ui/toolkit/pickers.h"
#include "ui/toolkit/stepper.h"
#include "ui/toolkit/text_styles.h"
#include "ui/toolkit/toggle.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace vellumark::action_panel {

namespace {

// Shown verbatim by the panel, as the action titles are.
constexpr const char* kSourcePanelMessage = "Choose the file whose dates you want to copy.";

// A label that wraps its lines to the width it is given and asks for no more than its longest word: the
// panel takes its width from its controls, and explanations fit in.
class WrappedLabel : public QLabel {
public:
    using QLabel::QLabel;

    QSize sizeHint() const override { return {minimumSizeHint().width(), QLabel::sizeHint().height()}; }
};

QLabel* makeSecondaryLabel(const QString& text, QWidget* parent) {
    auto* label = new WrappedLabel(text, parent);
    label->setWordWrap(true);
    toolkit::makeSecondary(*label);
    return label;
}

// The width `widget` asks for in any of its states: in a column, rows hidden now count too (the settings
// of other actions, the source's dates before there is a source), so that the panel keeps one width.
int widestHint(const QWidget& widget) {
    widget.ensurePolished();
    int widest = widget.sizeHint().width();
    if (const auto* column = qobject_cast<const QVBoxLayout*>(widget.layout())) {
        const QMargins margins = widget.contentsMargins() + column->contentsMargins();
        for (int i = 0; i < column->count(); ++i) {
            if (const QWidget* row = column->itemAt(i)->widget()) {
                widest = std::max(widest, widestHint(*row) + margins.left() + margins.right());
            }
        }
    }
    return widest;
}

}  // namespace

ActionPanelView::ActionPanelView(AppModel& model, OpenPanel& sourcePanel, QWidget* parent)
    : QWidget(parent), model_(model), sourcePanel_(sourcePanel) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto* content = new QWidget;
    content_ = content;
    auto* sections = new QVBoxLayout(content);
    sections->addWidget(makeActionSection());
    sections->addWidget(makeSettingsSection());
    sections->addWidget(makeOptionsSection());
    sections->addStretch(1);

    // The window's background shows between the groups: the scroll area draws none of its own.
    auto* scroll = new QScrollArea(this);
    scroll_ = scroll;
    scroll->setObjectName(QStringLiteral("actionPanelScrollArea"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab goes from control to control; the area around them is no stop of its own.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidget(content);
    scroll->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);

    observer_ = new bindings::ModelObserver(
        model_, [this] { refresh(); }, this);
    refresh();
}

ActionPanelView::~ActionPanelView() = default;

QSize ActionPanelView::sizeHint() const {
    // Room for the scroll bar is kept whether it shows or not: the panel does not change width with the
    // height of the window.
    const int scrollBar =
        style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll_->verticalScrollBar());
    return {std::max(kNarrowest, widestHint(*content_) + scrollBar), QWidget::sizeHint().height()};
}

QSize ActionPanelView::minimumSizeHint() const {
    return {sizeHint().width(), QWidget::minimumSizeHint().height()};
}

template <typename Edit>
void ActionPanelView::edit(Edit&& change) {
    model_.editConfig(std::forward<Edit>(change));
}

QGroupBox* ActionPanelView::makeActionSection() {
    auto* section = new QGroupBox(tr("Action"));
    section->setObjectName(QStringLiteral("actionSection"));
    auto* layout = new QVBoxLayout(section);

    operationPicker_ = new toolkit::PopUpPicker(toolkit::titlesOf<DateActionKind>(), [this](int index) {
        edit([kind = toolkit::caseAt<DateActionKind>(index)](ActionConfig& config) { config.kind = kind; });
    });
    operationPicker_->setObjectName(QStringLiteral("operationPicker"));
    operationPicker_->setAccessibleName(tr("Operation"));
    layout->addWidget(operationPicker_);

    applyToRow_ = new QWidget;
    applyToRow_->setObjectName(QStringLiteral("applyToRow"));
    auto* row = new QHBoxLayout(applyToRow_);
    row->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(tr("Apply to"));
    applyToPicker_ = new toolkit::PopUpPicker(toolkit::titlesOf<DateFieldSelection>(), [this](int index) {
        edit([fields = toolkit::caseAt<DateFieldSelection>(index)](ActionConfig& config) {
            config.fields = fields;
        });
    });
    applyToPicker_->setObjectName(QStringLiteral("applyToPicker"));
    label->setBuddy(applyToPicker_);
    row->addWidget(label);
    row->addWidget(applyToPicker_, 1);
    layout->addWidget(applyToRow_);
    return section;
}

QGroupBox* ActionPanelView::makeSettingsSection() {
    auto* section = new QGroupBox(tr("Settings"));
    section->setObjectName(QStringLiteral("settingsSection"));
    auto* layout = new QVBoxLayout(section);
    struct Page {
        DateActionKind kind;
        const char* name;
        QWidget* settings;
    };
    const std::array<Page, 6> pages{{
        {DateActionKind::setSpecific, "setSpecificSettings", makeSpecificDateSettings()},
        {DateActionKind::shift, "shiftSettings", makeShiftSettings()},
        {DateActionKind::copyCreationToModification, "copyCreationToModificationSettings",
         makeExplanation(tr("Each file's modification date will be set to its own creation date."))},
        {DateActionKind::copyModificationToCreation, "copyModificationToCreationSettings",
         makeExplanation(tr("Each file's creation date will be set to its own modification date."))},
        {DateActionKind::liftFromFile, "liftFromFileSettings", makeLiftSettings()},
        // What is written is a marker date that other programs show as such.
        {DateActionKind::removeDates, "removeDatesSettings",
         makeExplanation(tr("The selected dates will be removed: Vellumark shows them as “-----”, other "
                            "programs as 1 January 1904, 00:00 UTC."))},
    }};
    for (const Page& page : pages) {
        page.settings->setObjectName(QLatin1String(page.name));
        settingsPages_[static_cast<std::size_t>(toolkit::indexOfCase(page.kind))] = page.settings;
        layout->addWidget(page.settings);
    }
    return section;
}

QWidget* ActionPanelView::makeSpecificDateSettings() {
    auto* settings = new QWidget;
    auto* row = new QHBoxLayout(settings);
    row->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(tr("New date"));
    datePicker_ = new toolkit::DatePicker(
        [this](Date date) { edit([date](ActionConfig& config) { config.specificDate = date; }); });
    datePicker_->setObjectName(QStringLiteral("datePicker"));
    label->setBuddy(datePicker_);
    row->addWidget(label);
    row->addWidget(datePicker_, 1);
    return settings;
}

QWidget* ActionPanelView::makeShiftSettings() {
    auto* settings = new QWidget;
    auto* layout = new QVBoxLayout(settings);
    layout->setContentsMargins(0, 0, 0, 0);
    directionPicker_ = new toolkit::SegmentedPicker(toolkit::titlesOf<ShiftDirection>(), [this](int index) {
        edit([direction = toolkit::caseAt<ShiftDirection>(index)](ActionConfig& config) {
            config.shiftDirection = direction;
        });
    });
    directionPicker_->setObjectName(QStringLiteral("directionPicker"));
    directionPicker_->setAccessibleName(tr("Direction"));
    layout->addWidget(directionPicker_);

    // The box shows its name as a prefix ("Days: 42"), which assistive technologies read as part of the
    // value: the name is given to them apart.
    const auto makeStepper = [&](const QString& title, std::int64_t maximum,
                                 std::int64_t ActionConfig::*field, const QString& name) {
        auto* stepper = new toolkit::Stepper(
            tr("%1: ").arg(title), 0, static_cast<int>(maximum), [this, field](std::int64_t value) {
                edit([field, value](ActionConfig& config) { config.*field = value; });
            });
        stepper->setObjectName(name);
        stepper->setAccessibleName(title);
        layout->addWidget(stepper);
        return stepper;
    };
    daysStepper_ =
        makeStepper(tr("Days"), kMostShiftDays, &ActionConfig::shiftDays, QStringLiteral("daysStepper"));
    hoursStepper_ =
        makeStepper(tr("Hours"), kMostShiftHours, &ActionConfig::shiftHours, QStringLiteral("hoursStepper"));
    minutesStepper_ = makeStepper(tr("Minutes"), kMostShiftMinutes, &ActionConfig::shiftMinutes,
                                  QStringLiteral("minutesStepper"));
    secondsStepper_ = makeStepper(tr("Seconds"), kMostShiftSeconds, &ActionConfig::shiftSeconds,
                                  QStringLiteral("secondsStepper"));
    return settings;
}

QWidget* ActionPanelView::makeLiftSettings() {
    auto* settings = new QWidget;
    auto* layout = new QVBoxLayout(settings);
    layout->setContentsMargins(0, 0, 0, 0);
    chooseSourceButton_ = new QPushButton(tr("Choose source file…"));
    chooseSourceButton_->setObjectName(QStringLiteral("chooseSourceButton"));
    connect(chooseSourceButton_, &QPushButton::clicked, this, &ActionPanelView::chooseSourceFile);
    layout->addWidget(chooseSourceButton_, 0, Qt::AlignLeading);

    noSourceText_ = makeSecondaryLabel(tr("Pick a file to copy its dates from."), settings);
    noSourceText_->setObjectName(QStringLiteral("noSourceText"));
    layout->addWidget(noSourceText_);

    sourceRows_ = new QWidget;
    sourceRows_->setObjectName(QStringLiteral("sourceRows"));
    auto* rows = new QGridLayout(sourceRows_);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setColumnStretch(1, 1);
    sourceName_ = new toolkit::ElidedLabel;
    sourceName_->setObjectName(QStringLiteral("sourceName"));
    sourceName_->setAlignment(Qt::AlignTrailing | Qt::AlignVCenter);
    // A long name is cut to the panel's width rather than widening the panel.
    sourceName_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    sourceCreation_ = new QLabel;
    sourceCreation_->setAlignment(Qt::AlignTrailing | Qt::AlignVCenter);
    sourceCreation_->setObjectName(QStringLiteral("sourceCreation"));
    sourceModification_ = new QLabel;
    sourceModification_->setAlignment(Qt::AlignTrailing | Qt::AlignVCenter);
    sourceModification_->setObjectName(QStringLiteral("sourceModification"));
    const std::array<std::pair<QString, QWidget*>, 3> entries{{
        {tr("Source"), sourceName_},
        {tr("Creation"), sourceCreation_},
        {tr("Modification"), sourceModification_},
    }};
    for (int row = 0; row < static_cast<int>(entries.size()); ++row) {
        const auto& [label, value] = entries[static_cast<std::size_t>(row)];
        rows->addWidget(new QLabel(label), row, 0, Qt::AlignLeading | Qt::AlignVCenter);
        // The value fills its cell and aligns its own text, so a long name is cut only when it must be.
        rows->addWidget(value, row, 1);
    }
    layout->addWidget(sourceRows_);
    return settings;
}

QWidget* ActionPanelView::makeExplanation(const QString& text) {
    return makeSecondaryLabel(text, nullptr);
}

QGroupBox* ActionPanelView::makeOptionsSection() {
    auto* section = new QGroupBox(tr("Options"));
    section->setObjectName(QStringLiteral("optionsSection"));
    auto* layout = new QVBoxLayout(section);
    autoCorrectToggle_ = new toolkit::Toggle(tr("Auto-correct inconsistent dates"), [this](bool on) {
        edit([on](ActionConfig& config) { config.correctInconsistencies = on; });
    });
    autoCorrectToggle_->setObjectName(QStringLiteral("autoCorrectToggle"));
    toolkit::setToolTip(*autoCorrectToggle_,
                        tr("Clamp future dates to now and keep modification ≥ creation."));
    subfoldersToggle_ = new toolkit::Toggle(tr("Include subfolder contents when adding"), [this](bool on) {
        edit([on](ActionConfig& config) { config.includeSubfolderContents = on; });
    });
    subfoldersToggle_->setObjectName(QStringLiteral("subfoldersToggle"));
    toolkit::setToolTip(*subfoldersToggle_, tr("Applies to items added after this is turned on."));
    layout->addWidget(autoCorrectToggle_);
    layout->addWidget(subfoldersToggle_);
    return section;
}

void ActionPanelView::refresh() {
    const ActionConfig& config = model_.config();
    operationPicker_->showIndex(toolkit::indexOfCase(config.kind));
    applyToRow_->setVisible(usesFieldSelection(config.kind));
    applyToPicker_->showIndex(toolkit::indexOfCase(config.fields));
    const auto shownPage = static_cast<std::size_t>(toolkit::indexOfCase(config.kind));
    for (std::size_t page = 0; page < settingsPages_.size(); ++page) {
        settingsPages_[page]->setVisible(page == shownPage);
    }

    datePicker_->showDate(config.specificDate);
    directionPicker_->showIndex(toolkit::indexOfCase(config.shiftDirection));
    daysStepper_->showValue(config.shiftDays);
    hoursStepper_->showValue(config.shiftHours);
    minutesStepper_->showValue(config.shiftMinutes);
    secondsStepper_->showValue(config.shiftSeconds);

    const bool hasSource = config.liftSourceURL.has_value();
    noSourceText_->setVisible(!hasSource);
    sourceRows_->setVisible(hasSource);
    if (hasSource) {
        sourceName_->setText(toolkit::displayName(*config.liftSourceURL));
        sourceCreation_->setText(toolkit::dateText(config.liftCreation));
        sourceModification_->setText(toolkit::dateText(config.liftModification));
    }

    autoCorrectToggle_->showChecked(config.correctInconsistencies);
    subfoldersToggle_->showChecked(config.includeSubfolderContents);
}

void ActionPanelView::chooseSourceFile() {
    OpenPanelOptions options;
    options.canChooseFiles = true;
    options.canChooseDirectories = true;
    options.allowsMultipleSelection = false;
    options.message = kSourcePanelMessage;
    const std::optional<std::vector<std::filesystem::path>> chosen = sourcePanel_.runModal(options);
    if (!chosen || chosen->empty()) {
        return;
    }
    model_.setLiftSource(chosen->front());
}

}  // namespace vellumark::action_panel
