// Barcode layout through libzint.
#include "barcode.h"

#include <zint.h>

#include <memory>

namespace labelprint {

bool barcodeRects(const std::string& type, const std::string& data, LONG x, LONG y, LONG module, LONG height,
                  std::vector<RECTL>* rects, std::string* error) {
  std::unique_ptr<zint_symbol, void (*)(zint_symbol*)> symbol(ZBarcode_Create(), ZBarcode_Delete);
  if (!symbol) {
    *error = "cannot create a barcode";
    return false;
  }
  const bool linear = type == "code128";
  symbol->symbology = linear ? BARCODE_CODE128 : BARCODE_QRCODE;
  symbol->input_mode = UNICODE_MODE;
  const int rc = ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char*>(data.data()), int(data.size()));
  if (rc >= ZINT_ERROR) {
    *error = "cannot encode '" + data + "' as " + type + ": " + symbol->errtxt;
    return false;
  }
  for (int row = 0; row < symbol->rows; ++row) {
    const LONG top = linear ? y : y + row * module;
    const LONG bottom = linear ? y + height : top + module;
    for (int col = 0; col < symbol->width;) {
      auto dark = [&](int c) { return (symbol->encoded_data[row][c >> 3] >> (c & 7)) & 1; };
      if (!dark(col)) {
        ++col;
        continue;
      }
      int end = col;
      while (end < symbol->width && dark(end)) ++end;
      rects->push_back(RECTL{x + col * module, top, x + end * module, bottom});
      col = end;
    }
    if (linear) break;
  }
  return true;
}

}  // namespace labelprint
