// The label-definition file (one INI section per label) and the
// process-wide label list.
#include <windows.h>
#include <wtext.h>

#include "label_file.h"
#include "lock.h"
#include "model_profile.h"
#include "text.h"

namespace driver {

namespace {

// Key order of a written definition.
enum Key {
  kKeyLabelIndex,
  kKeyLabelName,
  kKeyLabelWidth,
  kKeyLabelHeight,
  kKeyLabelGap,
  kKeyPrintMode,
  kKeyStopPosition,
  kKeyDensity,
  kKeyOffsetTearOff,
  kKeyOffsetPeerOff,
  kKeyOffsetCutter,
  kKeyCutInterval,
  kKeyLabelType,
  kKeyAutoMargin,
  kKeyLeftMargin,
  kKeyRightMargin,
  kKeyTopMargin,
  kKeyBottomMargin,
  kKeyCount
};

struct KeyInfo {
  const WCHAR* name;
  LONG LabelDefinition::* field;  // null for LabelName
};

const KeyInfo kKeys[kKeyCount] = {
    {WTEXT("LabelIndex"), &LabelDefinition::LabelIndex},
    {WTEXT("LabelName"), nullptr},
    {WTEXT("LabelWidth"), &LabelDefinition::LabelWidth},
    {WTEXT("LabelHeight"), &LabelDefinition::LabelHeight},
    {WTEXT("LabelGap"), &LabelDefinition::LabelGap},
    {WTEXT("PrintMode"), &LabelDefinition::PrintMode},
    {WTEXT("StopPosition"), &LabelDefinition::StopPosition},
    {WTEXT("Density"), &LabelDefinition::Density},
    {WTEXT("OffsetTearOff"), &LabelDefinition::OffsetTearOff},
    {WTEXT("OffsetPeerOff"), &LabelDefinition::OffsetPeerOff},
    {WTEXT("OffsetCutter"), &LabelDefinition::OffsetCutter},
    {WTEXT("CutInterval"), &LabelDefinition::CutInterval},
    {WTEXT("LabelType"), &LabelDefinition::LabelType},
    {WTEXT("AutoMargin"), &LabelDefinition::AutoMargin},
    {WTEXT("LeftMargin"), &LabelDefinition::LeftMargin},
    {WTEXT("RightMargin"), &LabelDefinition::RightMargin},
    {WTEXT("TopMargin"), &LabelDefinition::TopMargin},
    {WTEXT("BottomMargin"), &LabelDefinition::BottomMargin},
};

// Path buffer size: the Windows directory (at most MAX_PATH), a backslash
// and the file name.
constexpr int kPathChars = MAX_PATH + 32;

LabelListEntry g_labelList[kLabelListCapacity + 1];

// Devices on different threads share the one list: each rebuild and each
// lookup holds this lock, so no lookup sees a half-built list.
support::CriticalSection& listLock() {
  static support::CriticalSection lock;
  return lock;
}

int findLabelLocked(LONG index) {
  for (int i = 0; i < kLabelListCapacity && g_labelList[i].name[0]; ++i)
    if (g_labelList[i].index == index) return i;
  return -1;
}

// Values a definition takes for keys missing from its section.
void keyDefaults(LONG index, LabelDefinition* def) {
  ZeroMemory(def, sizeof *def);
  def->LabelIndex = index;
  def->LabelWidth = kModel.defaultLabelWidth;
  def->LabelHeight = kModel.defaultLabelHeight;
  def->LabelGap = 20;
  def->PrintMode = 1;
  def->StopPosition = kModel.defaultStopPosition;
  def->Density = 8;
  def->LabelType = 2;
  def->AutoMargin = 1;
}

void builtinDefinition(const LabelRecord& b, LabelDefinition* def) {
  keyDefaults(b.LabelIndex, def);
  static_cast<LabelRecord&>(*def) = b;
}

LONG readInt(LPCWSTR section, LPCWSTR key, LONG fallback, LPCWSTR path) {
  return LONG(GetPrivateProfileIntW(section, key, fallback, path));
}

// Reads a list slot from section `index`: name, width and height, missing
// sizes keeping `width`/`height`. True when the name is non-empty.
bool readListSlot(LONG index, LabelListEntry* slot, LONG width, LONG height, LPCWSTR path) {
  WCHAR section[12];
  formatDecimal(index, section);
  ReadLabelName(index, slot->name);
  if (!slot->name[0]) return false;
  slot->index = index;
  slot->width = readInt(section, kKeys[kKeyLabelWidth].name, width, path);
  slot->height = readInt(section, kKeys[kKeyLabelHeight].name, height, path);
  return true;
}

}  // namespace

int LabelFilePath(WCHAR* buf, int cch) {
  if (!buf || cch <= 0) return 0;
  buf[0] = 0;
  WCHAR dir[MAX_PATH + 1];
  UINT n = GetWindowsDirectoryW(dir, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return 0;
  int total = int(n) + 1 + lstrlenW(kModel.labelFileName);
  if (total >= cch) return 0;
  lstrcpyW(buf, dir);
  lstrcatW(buf, WTEXT("\\"));
  lstrcatW(buf, kModel.labelFileName);
  return total;
}

bool labelIndexValid(LONG index) {
  if (index == kModel.builtinLabels[0].LabelIndex || index == kModel.builtinLabels[1].LabelIndex) return true;
  return kModel.userSlotCount > 0 && index >= kModel.firstUserSlot &&
         index < kModel.firstUserSlot + kModel.userSlotCount;
}

void ReadLabelName(LONG index, WCHAR* name) {
  name[0] = 0;
  WCHAR path[kPathChars];
  if (!LabelFilePath(path, kPathChars)) return;
  WCHAR section[12];
  formatDecimal(index, section);
  // The profile call cuts a longer name to the slot and terminates it.
  GetPrivateProfileStringW(section, kKeys[kKeyLabelName].name, WTEXT(""), name, kLabelNameSlot, path);
  name[kLabelNameSlot - 1] = 0;
}

int ReadLabelDefinition(LONG index, LabelDefinition* def) {
  keyDefaults(index, def);
  if (!labelIndexValid(index)) return 0;
  WCHAR path[kPathChars];
  if (!LabelFilePath(path, kPathChars)) return 0;
  ReadLabelName(index, def->LabelName);
  if (!def->LabelName[0]) return 0;
  WCHAR section[12];
  formatDecimal(index, section);
  // LabelIndex is written but never read back: the section names the label.
  for (int k = kKeyLabelWidth; k < kKeyCount; ++k) {
    LONG LabelDefinition::* field = kKeys[k].field;
    def->*field = readInt(section, kKeys[k].name, def->*field, path);
  }
  return 1;
}

namespace {

// The profile functions write a file they create in the ANSI code page,
// which loses the Chinese label names on any other system code page; a
// file that starts with a UTF-16 byte-order mark stays UTF-16.
void createUnicodeFile(LPCWSTR path) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;  // it exists already (or cannot be made)
  static const BYTE kByteOrderMark[] = {0xFF, 0xFE};
  DWORD written = 0;
  WriteFile(file, kByteOrderMark, sizeof kByteOrderMark, &written, nullptr);
  CloseHandle(file);
}

}  // namespace

int WriteLabelDefinition(const LabelDefinition& def) {
  if (!labelIndexValid(def.LabelIndex)) return 0;
  WCHAR path[kPathChars];
  if (!LabelFilePath(path, kPathChars)) return 1;
  createUnicodeFile(path);
  WCHAR section[12];
  formatDecimal(def.LabelIndex, section);
  WCHAR name[kLabelNameSlot];
  lstrcpynW(name, def.LabelName, kLabelNameSlot);
  for (int k = 0; k < kKeyCount; ++k) {
    WCHAR number[12];
    LPCWSTR value = name;
    if (kKeys[k].field) {
      formatDecimal(def.*(kKeys[k].field), number);
      value = number;
    }
    // A write the profile functions refuse (a standard user cannot write
    // to the Windows directory) is a failure, not a save.
    if (!WritePrivateProfileStringW(section, kKeys[k].name, value, path)) return 0;
  }
  return 1;
}

void DefaultLabelDefinition(LONG index, LabelDefinition* def) {
  keyDefaults(index, def);
  copyText(def->LabelName, index == kCustomLabelIndex ? WTEXT("用户自定义") : WTEXT("UserLabel"), kLabelNameSlot - 1);
}

void SeedBuiltinLabels() {
  for (const LabelRecord& b : kModel.builtinLabels) {
    WCHAR name[kLabelNameSlot];
    ReadLabelName(b.LabelIndex, name);
    if (name[0]) continue;
    LabelDefinition def;
    builtinDefinition(b, &def);
    WriteLabelDefinition(def);
  }
}

void BuildLabelList() {
  support::ScopedLock hold(listLock());
  SeedBuiltinLabels();
  WCHAR path[kPathChars];
  LabelFilePath(path, kPathChars);
  int next = 0;
  // A built-in key still missing keeps the value its slot held before.
  for (const LabelRecord& b : kModel.builtinLabels) {
    LabelListEntry& slot = g_labelList[next];
    if (readListSlot(b.LabelIndex, &slot, slot.width, slot.height, path)) ++next;
  }
  for (LONG i = 0; i < kModel.userSlotCount && next < kLabelListCapacity; ++i) {
    LONG index = kModel.firstUserSlot + i;
    if (readListSlot(index, &g_labelList[next], kModel.defaultLabelWidth, kModel.defaultLabelHeight, path)) ++next;
  }
  ZeroMemory(&g_labelList[next], sizeof g_labelList[next]);
}

int FindLabel(LONG index) {
  support::ScopedLock hold(listLock());
  return findLabelLocked(index);
}

bool copyLabel(LONG index, LabelListEntry* entry) {
  support::ScopedLock hold(listLock());
  int at = findLabelLocked(index);
  if (at < 0) return false;
  *entry = g_labelList[at];
  return true;
}

int copyLabelList(LabelListEntry* entries) {
  support::ScopedLock hold(listLock());
  int n = 0;
  while (n < kLabelListCapacity && g_labelList[n].name[0]) ++n;
  CopyMemory(entries, g_labelList, (n + 1) * sizeof(LabelListEntry));
  return n;
}

const LabelListEntry* LabelList() { return g_labelList; }

}  // namespace driver
