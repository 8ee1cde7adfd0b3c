// Dither-table construction from the device's threshold pattern.
#include "dither.h"

#include <initializer_list>

#include "tables.h"

namespace driver {

void buildDitherTable(LONG kind, const BYTE* data, LONG length, DitherTable& table) {
  ZeroMemory(&table, sizeof table);
  if (!data || length < patternDataLength(kind) || patternDataLength(kind) == 0) return;
  for (int level = 0; level < 256; ++level) {
    WORD* words = table[level];
    switch (kind) {
      case 1: {
        WORD w = level >= data[0] ? 0xFFFF : 0;
        for (int r = 0; r < 16; ++r) words[r] = w;
        break;
      }
      case 2:
        if (level == 255) {
          for (int r = 0; r < 16; ++r) words[r] = 0xFFFF;
        } else {
          for (int r = 0; r < 8; ++r) {
            BYTE b = data[(level & ~7) + r];
            words[r] = words[r + 8] = WORD(b * 257);
          }
        }
        break;
      case 3:
        for (int r = 0; r < 8; ++r) {
          BYTE b = 0xFF;
          for (int c = 0; c < 8; ++c)
            if (level < data[r * 8 + c]) b &= BYTE(~(0x80 >> c));
          words[r] = words[r + 8] = WORD(b * 257);
        }
        break;
      case 4:
        for (int r = 0; r < 16; ++r) {
          WORD w = 0xFFFF;
          for (int c = 0; c < 16; ++c) {
            if (level >= data[r * 16 + c]) continue;
            if (c < 8)
              w &= WORD(~(0x80 >> c));
            else
              w &= WORD(~((0x80 >> (c - 8)) << 8));
          }
          words[r] = w;
        }
        break;
    }
  }
}

DitherTable* ditherTable(PrinterDevice& device, WorkArea area) {
  if (area < 0 || area >= kWorkAreaCount || !device.work.buffer[area] || device.work.size[area] < sizeof(DitherTable))
    return nullptr;
  return reinterpret_cast<DitherTable*>(device.work.buffer[area]);
}

void buildDitherTables(PrinterDevice& device) {
  const RenderParameters& r = device.render;
  for (WorkArea area : {kDitherTable, kFillDitherTable})
    if (DitherTable* table = ditherTable(device, area)) buildDitherTable(r.patternKind, r.patternData, r.patternLength, *table);
}

}  // namespace driver
