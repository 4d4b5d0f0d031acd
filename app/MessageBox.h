// The station's message boxes: modal over the active window, titled with the program name.
#pragma once

#include <QString>

enum class MessageIcon { Information, Warning, Error };

void ShowMessage(const QString& text, MessageIcon icon = MessageIcon::Warning);

// A question with Yes and No; true for Yes. Enter answers Yes unless defaultYes is false.
bool AskYesNo(const QString& text, bool defaultYes = true);

// A question with Retry and Cancel under its own caption; true for Retry.
bool AskRetryCancel(const QString& text, const QString& caption);
