// The tool's four windows at the display DPIs users run: every control of
// the dialog templates placed at each DPI, read from the resource script
// the executable is built from.
#include "layout_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "resource.h"

namespace kvui::win32 {
namespace {

struct TemplateControl {
  std::string id;
  int x, y, cx, cy;  // dialog units
};

// The statements' fields, split at the commas outside quoted text.
std::vector<std::string> fields(const std::string& statement) {
  std::vector<std::string> out(1);
  bool quoted = false;
  for (char c : statement) {
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) {
      out.emplace_back();
    } else {
      out.back() += c;
    }
  }
  for (std::string& f : out) {
    f.erase(0, f.find_first_not_of(" \t"));
    f.erase(f.find_last_not_of(" \t\r") + 1);
  }
  return out;
}

bool isNumber(const std::string& s) { return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos; }

// The controls of every dialog template: the control's id and the first four
// numbers after it (x, y, width, height).
std::map<std::string, std::vector<TemplateControl>> readTemplates() {
  std::ifstream file(KVTOOL_DIALOGS_RC);
  std::map<std::string, std::vector<TemplateControl>> dialogs;
  const std::regex start(R"(^(IDD_\w+)\s+DIALOGEX\b)"), id(R"(\b(IDC_\w+)\b)");
  std::string line, dialog, statement;
  bool inBody = false;
  while (std::getline(file, line)) {
    std::smatch m;
    if (std::regex_search(line, m, start)) {
      dialog = m[1];
      inBody = false;
      continue;
    }
    std::string trimmed = line.substr(line.find_first_not_of(" \t") == std::string::npos ? line.size()
                                                                                         : line.find_first_not_of(" \t"));
    if (dialog.empty() || trimmed.rfind("//", 0) == 0) continue;
    if (trimmed.rfind("BEGIN", 0) == 0) {
      inBody = true;
      continue;
    }
    if (trimmed.rfind("END", 0) == 0) {
      dialog.clear();
      continue;
    }
    if (!inBody) continue;
    statement += line;
    if (!trimmed.empty() && trimmed.back() == ',') continue;  // continued on the next line
    std::vector<std::string> f = fields(statement);
    statement.clear();
    for (size_t i = 0; i < f.size(); ++i) {
      if (!std::regex_search(f[i], m, id)) continue;
      for (size_t j = i + 1; j + 3 < f.size(); ++j)
        if (isNumber(f[j]) && isNumber(f[j + 1]) && isNumber(f[j + 2]) && isNumber(f[j + 3])) {
          dialogs[dialog].push_back({m[1], std::stoi(f[j]), std::stoi(f[j + 1]), std::stoi(f[j + 2]), std::stoi(f[j + 3])});
          break;
        }
      break;
    }
  }
  return dialogs;
}

bool overlap(const PixelRect& a, const PixelRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool inside(const PixelRect& r, int width, int height) {
  return r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height;
}

struct WindowCase {
  const char* dialog;
  UINT id;
  size_t controls;  // the template's controls with a rectangle
};

class WindowLayout : public testing::TestWithParam<WindowCase> {
 protected:
  std::vector<TemplateControl> controls() {
    std::vector<TemplateControl> all = readTemplates()[GetParam().dialog];
    std::vector<TemplateControl> placed;
    for (const TemplateControl& c : all)
      if (c.cx > 0 && c.cy > 0) placed.push_back(c);  // a status bar docks itself
    return placed;
  }
};

const int kDpis[] = {96, 120, 144, 192};

// What lies inside the client area at 96 dpi lies inside it at every DPI
// (the focus box and the hidden button lie below it on purpose), and
// controls that do not overlap at 96 dpi do not overlap at any other.
TEST_P(WindowLayout, EveryControlIsWholeAtEveryDpi) {
  std::vector<TemplateControl> all = controls();
  ASSERT_EQ(all.size(), GetParam().controls);
  int width96 = 0, height96 = 0;
  ASSERT_TRUE(clientSize96(GetParam().id, &width96, &height96));
  for (int dpi : kDpis) {
    SCOPED_TRACE(dpi);
    int width = scaleToDpi(width96, dpi), height = scaleToDpi(height96, dpi);
    for (size_t i = 0; i < all.size(); ++i) {
      const TemplateControl& a = all[i];
      PixelRect at96 = gridToPixels(a.x, a.y, a.cx, a.cy, 96);
      PixelRect r = gridToPixels(a.x, a.y, a.cx, a.cy, dpi);
      if (inside(at96, width96, height96)) {
        EXPECT_TRUE(inside(r, width, height))
            << a.id << " at " << r.left << "," << r.top << "-" << r.right << "," << r.bottom << " in " << width << "x"
            << height;
      }
      for (size_t j = i + 1; j < all.size(); ++j) {
        const TemplateControl& b = all[j];
        if (overlap(at96, gridToPixels(b.x, b.y, b.cx, b.cy, 96))) continue;
        EXPECT_FALSE(overlap(r, gridToPixels(b.x, b.y, b.cx, b.cy, dpi))) << a.id << " and " << b.id;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Windows, WindowLayout,
                         testing::Values(WindowCase{"IDD_MAIN", IDD_MAIN, 29}, WindowCase{"IDD_READ", IDD_READ, 1},
                                         WindowCase{"IDD_SELECT", IDD_SELECT, 4},
                                         WindowCase{"IDD_SENSOR", IDD_SENSOR, 12}),
                         [](const testing::TestParamInfo<WindowCase>& info) { return std::string(info.param.dialog); });

// The main window's four rows of buttons: one height, and gaps that are
// equal at 96 dpi and differ by at most a pixel at any other DPI.
TEST(MainWindowLayout, ButtonRowsHaveOneHeightAndEvenGaps) {
  auto templates = readTemplates();
  std::map<std::string, TemplateControl> byId;
  for (const TemplateControl& c : templates["IDD_MAIN"]) byId[c.id] = c;
  for (const char* column : {"IDC_MAIN_BUTTON5,IDC_MAIN_BUTTON7,IDC_MAIN_BUTTON10,IDC_MAIN_BUTTON14",
                             "IDC_MAIN_BUTTON6,IDC_MAIN_BUTTON8,IDC_MAIN_BUTTON11,IDC_MAIN_BUTTON15"}) {
    std::vector<TemplateControl> rows;
    std::stringstream ids(column);
    for (std::string id; std::getline(ids, id, ',');) {
      ASSERT_TRUE(byId.count(id)) << id;
      rows.push_back(byId[id]);
    }
    for (int dpi : kDpis) {
      SCOPED_TRACE(std::string(column) + " at " + std::to_string(dpi));
      std::vector<PixelRect> r;
      for (const TemplateControl& c : rows) r.push_back(gridToPixels(c.x, c.y, c.cx, c.cy, dpi));
      int lowestGap = r[1].top - r[0].bottom, highestGap = lowestGap;
      for (size_t i = 1; i < r.size(); ++i) {
        EXPECT_EQ(r[i].bottom - r[i].top, r[0].bottom - r[0].top);
        int gap = r[i].top - r[i - 1].bottom;
        EXPECT_GT(gap, 0);
        lowestGap = std::min(lowestGap, gap);
        highestGap = std::max(highestGap, gap);
      }
      EXPECT_LE(highestGap - lowestGap, dpi == 96 ? 0 : 1);
    }
  }
}

}  // namespace
}  // namespace kvui::win32
