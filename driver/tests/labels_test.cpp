// The label-definition file: seeding the built-ins, reading definitions
// with their defaults, the label list, long names, and a missing Windows
// directory.
#include "driver_fixture.h"

using namespace driver;

namespace {

const std::vector<std::u16string> kKeyOrder = {
    u"LabelIndex",    u"LabelName",     u"LabelWidth",   u"LabelHeight",  u"LabelGap",    u"PrintMode",
    u"StopPosition",  u"Density",       u"OffsetTearOff", u"OffsetPeerOff", u"OffsetCutter", u"CutInterval",
    u"LabelType",     u"AutoMargin",    u"LeftMargin",   u"RightMargin",  u"TopMargin",   u"BottomMargin",
};

class LabelFileTest : public DriverTest {
 protected:
  std::u16string path() const {
    WCHAR buf[kLabelPathChars];
    EXPECT_GT(LabelFilePath(buf, kLabelPathChars), 0);
    return text16(buf);
  }
  // The label list as last built; the entries after its end entry are zero.
  std::vector<LabelListEntry> labelList() const {
    std::vector<LabelListEntry> out(kLabelListCapacity + 1);
    copyLabelList(out.data());
    return out;
  }
  std::vector<std::u16string> list(const char16_t* section) const {
    WCHAR buf[4096];
    DWORD n = GetPrivateProfileStringW(section, nullptr, u"", buf, 4096, path().c_str());
    std::vector<std::u16string> out;
    for (DWORD i = 0; i < n; i += DWORD(out.back().size()) + 1) out.emplace_back(buf + i);
    return out;
  }
  std::u16string value(const char16_t* section, const char16_t* key) const {
    WCHAR buf[256];
    GetPrivateProfileStringW(section, key, u"<missing>", buf, 256, path().c_str());
    return text16(buf);
  }
};

TEST_F(LabelFileTest, PathIsTheWindowsDirectoryAndTheModelFileName) {
  EXPECT_EQ(path(), windowsDir + u"\\" + text16(kModel.labelFileName));
  WCHAR small[8];
  EXPECT_EQ(LabelFilePath(small, 8), 0);
  EXPECT_EQ(small[0], 0);
}

TEST_F(LabelFileTest, EmptyOrMissingFileIsSeededWithBothBuiltinsInKeyOrder) {
  for (bool empty : {false, true}) {
    if (empty) writeLabelFile("");
    BuildLabelList();
    EXPECT_EQ(list(nullptr), (std::vector<std::u16string>{u"256", u"257"}));
    for (const LabelRecord& b : kModel.builtinLabels) {
      std::u16string section = std::u16string(b.LabelIndex == 256 ? u"256" : u"257");
      SCOPED_TRACE(std::string(section.begin(), section.end()));
      EXPECT_EQ(list(section.c_str()), kKeyOrder);
      auto num = [](LONG v) {
        std::string s = std::to_string(v);
        return std::u16string(s.begin(), s.end());
      };
      EXPECT_EQ(value(section.c_str(), u"LabelIndex"), num(b.LabelIndex));
      EXPECT_EQ(value(section.c_str(), u"LabelName"), text16(b.LabelName));
      EXPECT_EQ(value(section.c_str(), u"LabelWidth"), num(b.LabelWidth));
      EXPECT_EQ(value(section.c_str(), u"LabelHeight"), num(b.LabelHeight));
      EXPECT_EQ(value(section.c_str(), u"StopPosition"), num(b.StopPosition));
      EXPECT_EQ(value(section.c_str(), u"AutoMargin"), num(b.AutoMargin));
      EXPECT_EQ(value(section.c_str(), u"LeftMargin"), num(b.LeftMargin));
      EXPECT_EQ(value(section.c_str(), u"CutInterval"), u"0");
    }
    sim::reset();
    windowsDir = sim::makeTempWindowsDirectory();
  }
}

TEST_F(LabelFileTest, SeedingLeavesNamedSectionsAndUserSlotsAlone) {
  writeLabelFile("[257]\r\nLabelName=My label\r\nLabelWidth=700\r\n[301]\r\nLabelName=User\r\n");
  BuildLabelList();
  EXPECT_EQ(list(u"257"), (std::vector<std::u16string>{u"LabelName", u"LabelWidth"}));
  EXPECT_EQ(list(u"301"), (std::vector<std::u16string>{u"LabelName"}));
  EXPECT_EQ(list(u"256"), kKeyOrder);
}

TEST_F(LabelFileTest, ReadingFillsMissingKeysWithDefaultsAndIgnoresLabelIndex) {
  writeLabelFile("[257]\nLabelIndex=999\nLabelName=Short\nLabelHeight=250\nDensity=-3\nPrintMode=4x\n");
  LabelDefinition def;
  ASSERT_EQ(ReadLabelDefinition(257, &def), 1);
  EXPECT_EQ(def.LabelIndex, 257);
  EXPECT_EQ(text16(def.LabelName), u"Short");
  EXPECT_EQ(def.LabelWidth, kModel.defaultLabelWidth);
  EXPECT_EQ(def.LabelHeight, 250);
  EXPECT_EQ(def.LabelGap, 20);
  EXPECT_EQ(def.PrintMode, 4);
  EXPECT_EQ(def.StopPosition, kModel.defaultStopPosition);
  EXPECT_EQ(def.Density, -3);
  EXPECT_EQ(def.LabelType, 2);
  EXPECT_EQ(def.AutoMargin, 1);
  EXPECT_EQ(def.LeftMargin | def.RightMargin | def.TopMargin | def.BottomMargin, 0);
  EXPECT_EQ(def.OffsetTearOff | def.OffsetPeerOff | def.OffsetCutter | def.CutInterval, 0);
}

TEST_F(LabelFileTest, OnlyTheModelsIndicesAreDefinedOrWritten) {
  std::string text;
  for (int i = 255; i <= 322; ++i) text += "[" + std::to_string(i) + "]\nLabelName=L" + std::to_string(i) + "\n";
  writeLabelFile(text);
  for (LONG index : {255, 256, 257, 258, 300, 301, 310, 320, 321, 0, -1}) {
    bool valid = index == 256 || index == 257 || (kIsModelA && index >= 301 && index <= 320);
    LabelDefinition def;
    EXPECT_EQ(ReadLabelDefinition(index, &def), valid ? 1 : 0) << index;
    EXPECT_EQ(labelIndexValid(index), valid) << index;
    LabelDefinition w;
    DefaultLabelDefinition(index, &w);
    EXPECT_EQ(WriteLabelDefinition(w), valid ? 1 : 0) << index;
  }
  // The refused writes left their sections as they were.
  EXPECT_EQ(list(u"300"), (std::vector<std::u16string>{u"LabelName"}));
}

TEST_F(LabelFileTest, ListHoldsBuiltinsThenTheModelsNamedUserSlots) {
  std::string text;
  for (int i = 301; i <= 320; ++i)
    text += "[" + std::to_string(i) + "]\nLabelName=User " + std::to_string(i) + "\nLabelWidth=" +
            std::to_string(400 + i) + (i == 305 ? "" : "\nLabelHeight=300") + "\n";
  writeLabelFile(text);
  BuildLabelList();
  const std::vector<LabelListEntry> list = labelList();
  ASSERT_EQ(text16(list[0].name), text16(kModel.builtinLabels[0].LabelName));
  EXPECT_EQ(list[0].index, 256);
  EXPECT_EQ(list[0].width, kModel.builtinLabels[0].LabelWidth);
  EXPECT_EQ(list[1].index, 257);
  EXPECT_EQ(list[1].height, kModel.builtinLabels[1].LabelHeight);
  const int expected = kIsModelA ? 22 : 2;
  for (int i = 2; i < expected; ++i) {
    LONG index = 299 + i;
    EXPECT_EQ(list[i].index, index);
    EXPECT_EQ(list[i].width, 400 + index);
    EXPECT_EQ(list[i].height, index == 305 ? 530 : 300);
  }
  EXPECT_EQ(list[expected].name[0], 0);
  EXPECT_EQ(list[expected].index | list[expected].width | list[expected].height, 0);
  EXPECT_EQ(FindLabel(305), kIsModelA ? 6 : -1);
  EXPECT_EQ(FindLabel(257), 1);
  EXPECT_EQ(FindLabel(0), -1);
}

TEST_F(LabelFileTest, UnnamedUserSlotsAreSkipped) {
  writeLabelFile("[301]\nLabelWidth=500\n[302]\nLabelName=\n[303]\nLabelName=Third\n");
  BuildLabelList();
  EXPECT_EQ(FindLabel(301), -1);
  EXPECT_EQ(FindLabel(302), -1);
  EXPECT_EQ(FindLabel(303), kIsModelA ? 2 : -1);
}

TEST_F(LabelFileTest, NamesLongerThanTheirSlotsAreCut) {
  const std::string longName(40, 'N');
  writeLabelFile("[257]\nLabelName=" + longName + "\n");
  BuildLabelList();
  EXPECT_EQ(text16(labelList()[1].name), std::u16string(33, u'N'));
  LabelDefinition def;
  ASSERT_EQ(ReadLabelDefinition(257, &def), 1);
  EXPECT_EQ(text16(def.LabelName), std::u16string(33, u'N'));
  DriverSettings s;
  DefaultSettings(&s, queueName.c_str());
  s.Private.LabelIndex = 257;
  BuildPublicFields(&s, queueName.c_str());
  EXPECT_EQ(text16(s.Public.dmFormName), std::u16string(31, u'N'));

  // A record whose name fills its slot without a terminator is written cut.
  LabelDefinition full;
  DefaultLabelDefinition(256, &full);
  for (WCHAR& c : full.LabelName) c = u'Z';
  ASSERT_EQ(WriteLabelDefinition(full), 1);
  EXPECT_EQ(value(u"256", u"LabelName"), std::u16string(33, u'Z'));
}

TEST_F(LabelFileTest, WithoutAWindowsDirectoryNothingIsDefinedOrWritten) {
  const std::string file = labelFile();
  sim::setWindowsDirectory(u"");
  sim::failFrom(sim::api::GetWindowsDirectoryW, 1, ERROR_PATH_NOT_FOUND);
  WCHAR buf[kLabelPathChars];
  EXPECT_EQ(LabelFilePath(buf, kLabelPathChars), 0);
  BuildLabelList();
  EXPECT_EQ(labelList()[0].name[0], 0);
  LabelDefinition def;
  EXPECT_EQ(ReadLabelDefinition(257, &def), 0);
  EXPECT_EQ(def.LabelWidth, kModel.defaultLabelWidth);
  DefaultLabelDefinition(257, &def);
  EXPECT_EQ(WriteLabelDefinition(def), 1);
  EXPECT_TRUE(sim::readFileBytes(file).empty());

  DriverSettings s;
  DefaultSettings(&s, queueName.c_str());
  EXPECT_EQ(s.Private.CustomWidth, kModel.defaultLabelWidth);
  EXPECT_EQ(s.Private.CustomHeight, kModel.defaultLabelHeight);
  EXPECT_EQ(s.Public.dmFormName[0], 0);
  LabelSize size = GetLabelSize(s, 257);
  EXPECT_EQ(size.width, kModel.defaultLabelWidth);
  EXPECT_EQ(size.height, kModel.defaultLabelHeight);
}

TEST(DefaultLabelDefinitionTest, NamesTheCustomLabelAndUsesTheModelSize) {
  for (LONG index : {256, 257, 301}) {
    LabelDefinition def;
    DefaultLabelDefinition(index, &def);
    EXPECT_EQ(text16(def.LabelName), index == 256 ? u"用户自定义" : u"UserLabel");
    EXPECT_EQ(def.LabelIndex, index);
    EXPECT_EQ(def.LabelWidth, kModel.defaultLabelWidth);
    EXPECT_EQ(def.LabelHeight, kModel.defaultLabelHeight);
    EXPECT_EQ(def.StopPosition, kModel.defaultStopPosition);
    EXPECT_EQ(def.LabelGap, 20);
    EXPECT_EQ(def.PrintMode, 1);
    EXPECT_EQ(def.Density, 8);
    EXPECT_EQ(def.LabelType, 2);
    EXPECT_EQ(def.AutoMargin, 1);
  }
}

}  // namespace
