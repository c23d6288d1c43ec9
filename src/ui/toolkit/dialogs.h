#pragma once

#include <QMessageBox>
#include <QString>

#include <memory>

namespace vellumark::toolkit {

struct ConfirmationTexts {
    QString title;
    QString message;
    QString confirmButton;
    QString cancelButton;
};

// A question with a destructive confirm button and a cancel button (Escape and closing the window
// cancel). The title is shown inside the dialog, not only in a title bar a window manager may hide.
std::unique_ptr<QMessageBox> makeConfirmationDialog(QWidget* parent, const ConfirmationTexts& texts);

// Whether a dialog made by makeConfirmationDialog ended with its confirm button.
bool isConfirmed(const QMessageBox& dialog);

// A message with a title and one default button that closes it. Texts of both kinds are plain text.
std::unique_ptr<QMessageBox> makeAlert(QWidget* parent, const QString& title, const QString& message,
                                       const QString& okButton);

// Sets the message under the title, as plain text, wide enough that its lines break only when longer
// than a comfortable reading width. The box's text format does not reach the message's label, so the
// label is found by the name Qt gives it.
void setMessage(QMessageBox& box, const QString& message);

// Puts `details` (plain text, selectable and copyable) in an area of `box` that a "Show Details…" button
// opens and closes without closing the box. Empty `details` take area and button away.
void setDetails(QMessageBox& box, const QString& details);

}  // namespace vellumark::toolkit
