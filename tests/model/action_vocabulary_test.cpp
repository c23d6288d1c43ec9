#include "model/action_vocabulary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vellumark {
namespace {

template <typename Enum>
std::vector<std::string> titlesOf() {
    std::vector<std::string> titles;
    for (const Enum value : allCases<Enum>()) {
        titles.emplace_back(title(value));
    }
    return titles;
}

TEST(ActionVocabulary, ListsEveryCaseInDeclarationOrderWithItsExactTitle) {
    EXPECT_EQ(
        titlesOf<DateActionKind>(),
        (std::vector<std::string>{"Set to a specific date", "Add / remove time",
                                  "Copy creation \u2192 modification", "Copy modification \u2192 creation",
                                  "Lift dates from another file", "Remove dates (show as -----)"}));
    EXPECT_EQ(titlesOf<DateFieldSelection>(),
              (std::vector<std::string>{"Creation & Modification", "Creation only", "Modification only"}));
    EXPECT_EQ(titlesOf<ShiftDirection>(), (std::vector<std::string>{"Add", "Subtract"}));
}

TEST(ActionVocabulary, CopyTitlesCarryTheSingleArrowCharacter) {
    // 28 characters, 30 bytes: U+2192 takes three bytes in UTF-8.
    EXPECT_EQ(title(DateActionKind::copyCreationToModification).size(), 30u);
    EXPECT_EQ(title(DateActionKind::copyModificationToCreation).size(), 30u);
    EXPECT_EQ(caseWithTitle<DateActionKind>("Copy creation -> modification"), std::nullopt);
}

TEST(ActionVocabulary, LooksUpOnlyTheExactTitle) {
    EXPECT_EQ(caseWithTitle<DateFieldSelection>("Creation only"), DateFieldSelection::creation);
    EXPECT_EQ(caseWithTitle<DateFieldSelection>("creation only"), std::nullopt);
    EXPECT_EQ(caseWithTitle<DateFieldSelection>("Creation"), std::nullopt);
    EXPECT_EQ(caseWithTitle<DateFieldSelection>("Creation only "), std::nullopt);
    EXPECT_EQ(caseWithTitle<ShiftDirection>(""), std::nullopt);
    for (const DateActionKind kind : allCases<DateActionKind>()) {
        EXPECT_EQ(caseWithTitle<DateActionKind>(title(kind)), kind);
    }
}

TEST(ActionVocabulary, FieldSelectionPredicates) {
    EXPECT_TRUE(includesCreation(DateFieldSelection::both));
    EXPECT_TRUE(includesModification(DateFieldSelection::both));
    EXPECT_TRUE(includesCreation(DateFieldSelection::creation));
    EXPECT_FALSE(includesModification(DateFieldSelection::creation));
    EXPECT_FALSE(includesCreation(DateFieldSelection::modification));
    EXPECT_TRUE(includesModification(DateFieldSelection::modification));
}

}  // namespace
}  // namespace vellumark
