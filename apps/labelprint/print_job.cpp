// The application side of printing one label: settings, device context,
// one page of drawing, end of document.
#include "print_job.h"

#include <windows.h>
#include <winddi.h>
#include <winspool.h>

#include <cmath>
#include <fstream>
#include <memory>

#include "device.h"
#include "label_file.h"
#include "barcode.h"
#include "gdi_play.h"
#include "glyphs.h"
#include "model_profile.h"
#include "settings.h"
#include "sim/profile.h"

namespace labelprint {

using driver::kModel;

namespace {

const std::u16string kQueue = u"Label Printer";

bool copyFile(const std::string& from, const std::string& to, std::string* error) {
  std::ifstream in(from, std::ios::binary);
  if (!in) {
    *error = "cannot read label file '" + from + "'";
    return false;
  }
  std::ofstream out(to, std::ios::binary);
  out << in.rdbuf();
  if (!out) {
    *error = "cannot install label file '" + from + "'";
    return false;
  }
  return true;
}

bool fail(std::string* error, const std::string& what) {
  *error = what + " failed (error " + std::to_string(GetLastError()) + ")";
  return false;
}

// Code 128 bars are 0.25 mm wide modules (at least two dots) and 10 mm
// tall; QR modules 0.5 mm (at least three dots): whole dots either way.
constexpr double kCode128ModuleMm = 0.25;
constexpr double kCode128HeightMm = 10;
constexpr double kQrModuleMm = 0.5;

// The page's requests for the options' items.
bool addItems(const Options& o, int dpi, gdiplay::Page* page, std::string* error) {
  TextRenderer text;
  bool textOpen = false;
  auto dots = [&](double mm) { return LONG(dotsOf(mm, dpi)); };
  for (const Item& item : o.items) {
    const LONG x = dots(item.x), y = dots(item.y);
    switch (item.kind) {
      case Item::Kind::Text: {
        if (!textOpen && !text.open(o.font, error)) return false;
        textOpen = true;
        std::vector<gdiplay::Glyph> glyphs;
        if (!text.render(item.text, x, y, dots(item.size), &glyphs, error)) return false;
        page->text(std::move(glyphs), gdiplay::kBlack);
        break;
      }
      case Item::Kind::Barcode: {
        const bool linear = item.type == "code128";
        const LONG module = std::max<LONG>(linear ? 2 : 3, dots(linear ? kCode128ModuleMm : kQrModuleMm));
        std::vector<RECTL> bars;
        if (!barcodeRects(item.type, item.text, x, y, module, dots(kCode128HeightMm), &bars, error)) return false;
        for (const RECTL& r : bars) page->fill(r, gdiplay::kBlack);
        break;
      }
      case Item::Kind::Box: {
        const LONG pen = std::max<LONG>(1, dots(item.thickness));
        page->frame(RECTL{x, y, x + dots(item.a), y + dots(item.b)}, pen, gdiplay::kBlack);
        break;
      }
      case Item::Kind::Line:
        page->line(POINTL{x, y}, POINTL{dots(item.a), dots(item.b)}, gdiplay::kBlack,
                   std::max<LONG>(1, dots(item.thickness)));
        break;
    }
  }
  return true;
}

}  // namespace

const char* driverModel() { return kModel.modelName; }

long dotsOf(double millimetres, int dpi) { return std::lround(millimetres * dpi / 25.4); }

bool printLabel(const Options& o, const GreyImage* image, PrintResult* result, std::string* error) {
  if (o.model != kModel.modelName) {
    *error = "this program prints for " + std::string(kModel.modelName) + ", not " + o.model;
    return false;
  }
  sim::QueueSetup q;
  q.name = kQueue;
  q.driver = std::u16string(u"Varodyn ") +
             std::u16string(kModel.modelName, kModel.modelName + std::char_traits<char>::length(kModel.modelName));
  gdiplay::PrinterQueue queue(q);
  if (!queue.printer()) return fail(error, "OpenPrinterW");
  if (!o.labelFile.empty() && !copyFile(o.labelFile, sim::windowsFilePath(kModel.labelFileName), error)) return false;

  driver::BuildLabelList();
  if (driver::FindLabel(o.label) < 0) {
    *error = "label " + std::to_string(o.label) + " is not defined for " + kModel.modelName;
    return false;
  }

  driver::DriverSettings s;
  driver::DefaultSettings(&s, queue.name());
  s.SettingsSignature = driver::kSettingsSignature;
  driver::PrivateSettings& p = s.Private;
  p.LabelIndex = o.label;
  if (o.width > 0) {
    p.CustomWidth = o.width;
    p.CustomHeight = o.height;
  }
  p.Orientation = o.landscape ? 2 : 1;
  p.LandscapeRotation = o.rotate ? 1 : 0;
  p.ColorMode = o.grey ? 1 : 0;
  p.GraphicsMode = o.hex ? 0 : 1;
  driver::BuildPublicFields(&s, queue.name());

  gdiplay::DeviceContext dc;
  if (!dc.create(queue.printer(), queue.name(), reinterpret_cast<const DEVMODEW*>(&s))) return fail(error, dc.step());
  result->pageWidth = int(dc.gdiInfo().ulHorzRes);
  result->pageHeight = int(dc.gdiInfo().ulVertRes);
  result->dpi = int(dc.gdiInfo().ulLogPixelsX);

  // The application's copy count, as StartDoc's DEVMODE would carry it.
  LONG copies = LONG(o.copies), applied = 0;
  if (dc.escape(SETCOPYCOUNT, sizeof copies, &copies, sizeof applied, &applied) != 1)
    return fail(error, "SETCOPYCOUNT");

  gdiplay::Page page;
  if (image && image->width > 0 && image->height > 0) {
    auto source = std::make_shared<gdiplay::Image>();
    source->width = image->width;
    source->height = image->height;
    source->pixels.assign(image->pixels.begin(), image->pixels.end());
    LONG bx = 0, by = 0, bw = result->pageWidth, bh = result->pageHeight;
    if (o.imageBoxGiven) {
      bx = dotsOf(o.imageBox[0], result->dpi), by = dotsOf(o.imageBox[1], result->dpi);
      bw = dotsOf(o.imageBox[2], result->dpi), bh = dotsOf(o.imageBox[3], result->dpi);
    }
    const FitRect fit = fitInside(image->width, image->height, int(bw), int(bh));
    page.stretch(source, RECTL{bx + fit.left, by + fit.top, bx + fit.left + fit.width, by + fit.top + fit.height});
  }
  if (!addItems(o, result->dpi, &page, error)) return false;

  if (!dc.startDoc(WTEXT("labelprint"), 1)) return fail(error, dc.step());
  if (!dc.printPage(page)) return fail(error, dc.step());
  if (!dc.endDoc()) return fail(error, dc.step());
  result->bands = int(dc.bandOrigins().size());
  result->bytes = queue.written();
  return true;
}

}  // namespace labelprint
