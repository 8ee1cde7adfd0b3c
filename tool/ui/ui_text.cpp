// The tool's user-interface texts, loaded from the program's string table.
#include "controls.h"

namespace kvui {

UiText LoadUiText(UINT id) {
  // With a size of 0 LoadStringW hands out the resource text itself, so no
  // entry is cut at a guessed buffer size.
  const WCHAR* text = nullptr;
  int length = LoadStringW(GetModuleHandleA(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 && text ? UiText(text, size_t(length)) : UiText();
}

}  // namespace kvui
