// Steps shared by the main window and the sensor window.
#include "form_steps.h"

#include <wtext.h>

#include <climits>
#include <vector>

#include "printer_link.h"
#include "resource.h"

namespace kvui {
namespace {

const WCHAR kSettingsSection[] = WTEXT("Setting");

// How each failure the printer link reports is worded.
struct LinkText {
  LinkStep step;
  UINT textId;
  bool withCode;  // the error code follows the text
};
constexpr LinkText kLinkTexts[] = {
    {LinkStep::OpenQueue, IDS_LINK_OPENPRINTER_FAIL, true},
    {LinkStep::StartDocument, IDS_LINK_STARTDOC_FAIL, true},
    {LinkStep::WriteJob, IDS_LINK_WRITEPRINTER_FAIL, true},
    {LinkStep::EndDocument, IDS_LINK_ENDDOC_FAIL, true},
    {LinkStep::CloseQueue, IDS_LINK_CLOSEPRINTER_FAIL, true},
    {LinkStep::CreateHidLink, IDS_LINK_CREATE_FAIL, false},
    {LinkStep::LoadHidLibrary, IDS_LINK_LOAD_FAIL, false},
};

Shell* g_linkShell = nullptr;

void showLinkFailure(LinkStep step, DWORD code) {
  if (!g_linkShell) return;
  for (const LinkText& t : kLinkTexts)
    if (t.step == step) {
      UiText text = LoadUiText(t.textId);
      if (t.withCode) text += FromAnsi(std::to_string(code));
      ShowPlainBox(*g_linkShell, text);
      return;
    }
}

bool IsBlank(WCHAR c) { return c == u' ' || c == u'\t'; }

}  // namespace

UiText SettingsFilePath() {
  char path[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string file(path, n < MAX_PATH ? n : MAX_PATH);
  // Replace the extension of the file name (not a dot of a folder name).
  size_t name = file.find_last_of("\\/");
  size_t dot = file.find_last_of('.');
  if (dot != std::string::npos && (name == std::string::npos || dot > name)) file.resize(dot);
  file += ".ini";
  return FromAnsi(file);
}

int ReadSetting(const WCHAR* key, int fallback) {
  UiText path = SettingsFilePath();
  WCHAR value[64] = {};
  DWORD n = GetPrivateProfileStringW(kSettingsSection, key, WTEXT(""), value, 64, path.c_str());
  std::optional<int> parsed = ParseInteger(UiText(value, n));
  return parsed ? *parsed : fallback;
}

void WriteSetting(const WCHAR* key, int value) {
  UiText path = SettingsFilePath();
  WritePrivateProfileStringW(kSettingsSection, key, DecimalText(value).c_str(), path.c_str());
}

std::optional<int> ParseInteger(const UiText& text) {
  size_t i = 0, end = text.size();
  while (i < end && IsBlank(text[i])) ++i;
  while (end > i && IsBlank(text[end - 1])) --end;
  bool negative = false;
  if (i < end && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  if (i == end) return std::nullopt;
  long long value = 0;
  for (; i < end; ++i) {
    if (text[i] < u'0' || text[i] > u'9') return std::nullopt;
    value = value * 10 + (text[i] - u'0');
    if (value > static_cast<long long>(INT_MAX) + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value < INT_MIN || value > INT_MAX) return std::nullopt;
  return static_cast<int>(value);
}

UiText DecimalText(int value) {
  std::string digits = std::to_string(value);
  return UiText(digits.begin(), digits.end());
}

UiText FormatUiText(UINT id, std::initializer_list<int> values) {
  UiText pattern = LoadUiText(id), out;
  const int* next = values.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == u'%' && i + 1 < pattern.size() && pattern[i + 1] == u'd' && next != values.end()) {
      out += DecimalText(*next++);
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

UiText FromAnsi(std::string_view text) {
  if (text.empty()) return UiText();
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
  if (n <= 0) return UiText(text.begin(), text.end());  // not valid in the code page: bytes as they are
  UiText out(size_t(n), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), out.data(), n);
  return out;
}

std::string ToAnsi(const UiText& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

void ShowInfoBox(Shell& shell, const UiText& text, UINT icon) {
  shell.messageBox(text, LoadUiText(IDS_CAPTION_INFO), MB_OK | icon);
}

void ShowCommunicationFailure(Shell& shell) { ShowInfoBox(shell, LoadUiText(IDS_COMM_FAILURE), MB_ICONERROR); }

bool AskYes(Shell& shell, UINT textId, UINT captionId) {
  return shell.messageBox(LoadUiText(textId), LoadUiText(captionId),
                          MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void ShowPlainBox(Shell& shell, const UiText& text) { shell.messageBox(text, LoadUiText(IDS_APP_TITLE), MB_OK); }

bool SendCommandAndReport(Shell& shell, std::string_view command, DeliveryTexts texts) {
  SendSettingJob(command);
  bool delivered = WaitForDelivery();
  UINT text = texts == DeliveryTexts::Setting ? (delivered ? IDS_SETTING_SENT : IDS_SETTING_NOT_SENT)
                                              : (delivered ? IDS_PRINT_SENT : IDS_PRINT_NOT_SENT);
  ShowInfoBox(shell, LoadUiText(text), MB_ICONINFORMATION);
  if (!delivered) CancelQueueJobs();
  return delivered;
}

}  // namespace kvui

void SetLinkShell(kvui::Shell* shell) {
  kvui::g_linkShell = shell;
  SetLinkReporter(shell ? kvui::showLinkFailure : nullptr);
}
