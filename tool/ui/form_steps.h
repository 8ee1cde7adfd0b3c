// Steps the tool's windows share: the tool settings file, sending a setting
// or print command with its delivery report, the message boxes (the
// communication failure, questions, the printer link's failure reports),
// and turning numbers and printer text into user-interface text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "controls.h"

namespace kvui {

// ---- tool settings file -----------------------------------------------------
// The INI file beside the executable: its path with the extension replaced
// by ".ini"; every key lives in the section "Setting".

// The path of the settings file (UTF-16, for the profile functions).
UiText SettingsFilePath();
// The key's value when it holds a decimal integer (blanks around it and a
// sign allowed); `fallback` when the key is missing or holds anything else.
int ReadSetting(const WCHAR* key, int fallback);
void WriteSetting(const WCHAR* key, int value);

// ---- text ------------------------------------------------------------------------
// A whole decimal integer: optional blanks, an optional sign, digits, optional
// blanks, within the int range. Nothing otherwise.
std::optional<int> ParseInteger(const UiText& text);
UiText DecimalText(int value);
// The string-table entry `id` with each "%d" replaced, in order, by the next
// value.
UiText FormatUiText(UINT id, std::initializer_list<int> values);
// Printer and spooler text (ANSI code page) as user-interface text, and back.
UiText FromAnsi(std::string_view text);
std::string ToAnsi(const UiText& text);

// ---- message boxes ---------------------------------------------------------------
// A box with the caption "系统提示" (IDS_CAPTION_INFO) and `icon`.
void ShowInfoBox(Shell& shell, const UiText& text, UINT icon);
// The communication failure box every read-back shows when a read fails.
void ShowCommunicationFailure(Shell& shell);
// Yes / No / Cancel with the question icon and No as the default; true only
// for Yes.
bool AskYes(Shell& shell, UINT textId, UINT captionId);
// A plain box (OK only, no icon) with the program's title as caption.
void ShowPlainBox(Shell& shell, const UiText& text);

// ---- commands through the spooler ------------------------------------------------
// Which pair of delivery texts a command reports with.
enum class DeliveryTexts { Setting, Print };
// Sends `command` (CR LF included) as one setting job on the current
// printer, then waits for the queue to drain and reports the outcome in a
// box; a queue that does not drain is emptied. The wait runs even when the
// job could not be started. True when delivered.
bool SendCommandAndReport(Shell& shell, std::string_view command, DeliveryTexts texts);

}  // namespace kvui
