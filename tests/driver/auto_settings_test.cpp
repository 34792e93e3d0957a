// The settings file of an unattended run: what the Wizard writes reads back as the
// same choices, and a wrong file is refused with a line naming every problem.
#include <gtest/gtest.h>

#include "driver/auto_settings.h"
#include "platform/cp852.h"

namespace zq::driver {
namespace {

using zq::operator""_pl;

AutoSettings Chosen() {
  AutoSettings s;
  s.options.sourceTree = "D:\\DOR_2019\\";
  s.options.targetTree = "E:\\Rok 2020\\";
  s.options.showSlowly = true;
  s.options.warnOpenDecember = false;
  s.options.globalItems = 0x0481;
  s.options.firmItems = 0xA5F3;
  s.options.staffScope = 1;
  s.options.entered2020Items = 0x0015;
  s.options.dllItems = 0x0005;
  s.options.runItems = 0x0002;
  s.options.globalSourceDir = "#BIN880";
  s.options.stopPerFirm = true;
  s.answers = {.annualYear = 'N', .overwrite = 'W', .vatProportion = 37, .lockWaitSeconds = 5};
  s.allFirms = false;
  s.firms = {std::string("FIRMA1"), std::string("ŻABKA"_pl)};
  return s;
}

TEST(AutoSettingsTest, WhatIsWrittenReadsBackAsTheSameChoices) {
  for (bool all : {false, true}) {
    AutoSettings s = Chosen();
    s.allFirms = all;
    if (all) s.firms.clear();
    std::string text = FormatAutoSettings(s);
    EXPECT_NE(text.find("\r\n"), std::string::npos);
    AutoSettingsRead read = ParseAutoSettings(text);
    ASSERT_TRUE(read.Ok()) << Cp852ToUtf8(read.problems.front());
    const ConversionOptions& o = read.settings.options;
    EXPECT_EQ(o.sourceTree, s.options.sourceTree);
    EXPECT_EQ(o.targetTree, s.options.targetTree);
    EXPECT_EQ(o.showSlowly, true);
    EXPECT_EQ(o.warnOpenDecember, false);
    EXPECT_EQ(o.globalItems, s.options.globalItems & 0x07FF);
    EXPECT_EQ(o.firmItems, s.options.firmItems);
    EXPECT_EQ(o.staffScope, 1);
    EXPECT_EQ(o.entered2020Items & 0x1F, s.options.entered2020Items);
    EXPECT_EQ(o.dllItems & 0x0007, s.options.dllItems);
    EXPECT_EQ(o.runItems & 3, 2);
    EXPECT_EQ(o.globalSourceDir, "#BIN880");
    EXPECT_TRUE(o.stopPerFirm);
    EXPECT_EQ(read.settings.answers.annualYear, 'N');
    EXPECT_EQ(read.settings.answers.overwrite, 'W');
    EXPECT_EQ(read.settings.answers.vatProportion, 37);
    EXPECT_EQ(read.settings.answers.lockWaitSeconds, 5);
    EXPECT_EQ(read.settings.allFirms, all);
    EXPECT_EQ(read.settings.firms, s.firms);
  }
}

TEST(AutoSettingsTest, EveryProblemOfAWrongFileIsNamed) {
  const std::string good = FormatAutoSettings(Chosen());
  auto edit = [&](std::string_view from, std::string_view to) {
    std::string text = good;
    std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
  };
  struct Case {
    std::string text;
    std::vector<std::string> problems;  // the start of each line, UTF-8
  };
  const std::vector<Case> cases = {
      {edit("KM 140=", "KM 145="),
       {"Nieznany klucz w wierszu", "Brak klucza: [DANE FIRMOWE] KM 140"}},
      {edit("proporcja VAT (-1 pomiń firmę)=37"_pl, "proporcja VAT (-1 pomiń firmę)=101"_pl),
       {"Wartość spoza -1..100: [ODPOWIEDZI] proporcja VAT"}},
      {edit("Dane - przenieś=1"_pl, "Dane - przenieś=2"_pl), {"Tryb \"pytaj sie o każdego\""}},
      {edit("KM 150=T", "KM 150=tak"), {"Wartość spoza T/N: [DANE FIRMOWE] KM 150"}},
      {edit("firmy=FIRMA1", "; firmy=FIRMA1"), {"Brak klucza: [FIRMY] firmy"}},
  };
  for (const Case& c : cases) {
    AutoSettingsRead read = ParseAutoSettings(c.text);
    ASSERT_EQ(read.problems.size(), c.problems.size());
    for (std::size_t i = 0; i < c.problems.size(); ++i)
      EXPECT_TRUE(Cp852ToUtf8(read.problems[i]).starts_with(c.problems[i]))
          << Cp852ToUtf8(read.problems[i]);
  }
}

}  // namespace
}  // namespace zq::driver
