#include "shared/config.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/cp852.h"
#include "support/test_env.h"

namespace zq::shared {
namespace {

using Args = std::vector<std::string>;

TEST(Options, FoundWithSlashDashOrNothingAndGivesTheParameterNumber) {
  EXPECT_EQ(FindOption(Args{"C:\\DOR_2020\\", "/kprspis:A.DAT"}, true, "/kprspis:"), 2);
  EXPECT_EQ(FindOption(Args{"-kprspis:A.DAT"}, true, "/kprspis:"), 1);
  EXPECT_EQ(FindOption(Args{"kprspis:A.DAT"}, true, "/kprspis:"), 1);
  EXPECT_EQ(FindOption(Args{"/EXC"}, true, "EXC"), 1);  // the caller's "/" is optional too
  EXPECT_EQ(FindOption(Args{"/kprspi"}, true, "/kprspis:"), std::nullopt);
  EXPECT_EQ(FindOption(Args{}, true, "/kprspis:"), std::nullopt);
}

TEST(Options, CaseMattersOnlyWithoutTheFlag) {
  Args upper{"/KPRSPIS:A.DAT"};
  EXPECT_EQ(FindOption(upper, true, "/kprspis:"), 1);
  EXPECT_EQ(FindOption(upper, false, "/kprspis:"), std::nullopt);
  EXPECT_EQ(FindOption(upper, false, "/KPRSPIS:"), 1);
  // Upper-casing knows the Polish letters.
  EXPECT_EQ(FindOption(Args{std::string("/żółw"_pl)}, true, "/ŻÓŁW"_pl), 1);
}

TEST(Options, FirstMatchWinsAndOnlyTheFirst255ParametersCount) {
  Args args{"/kprspis:FIRST.DAT", "/kprspis:SECOND.DAT"};
  EXPECT_EQ(OptionValue(args, true, "/kprspis:"), "FIRST.DAT");
  Args many(255, "X");
  many.push_back("/kprspis:LATE.DAT");
  EXPECT_EQ(FindOption(many, true, "/kprspis:"), std::nullopt);
  many[254] = "/kprspis:LAST.DAT";
  EXPECT_EQ(FindOption(many, true, "/kprspis:"), 255);
}

TEST(Options, ValueStartsAfterTheOptionAsTheCallerWroteIt) {
  EXPECT_EQ(OptionValue(Args{"/kprspis:FIRMY.DAT"}, true, "/kprspis:"), "FIRMY.DAT");
  EXPECT_EQ(OptionValue(Args{"-KPRSPIS:FIRMY.DAT"}, true, "/kprspis:"), "FIRMY.DAT");
  // Without its "/" the parameter is one shorter, and the value loses its first character.
  EXPECT_EQ(OptionValue(Args{"kprspis:FIRMY.DAT"}, true, "/kprspis:"), "IRMY.DAT");
  EXPECT_EQ(OptionValue(Args{"/kprspis:"}, true, "/kprspis:"), "");
  EXPECT_EQ(OptionValue(Args{"kprspis:"}, true, "/kprspis:"), "");
  EXPECT_EQ(OptionValue(Args{"/other"}, true, "/kprspis:"), "");
}

struct FirmListNameTest : ::testing::Test {
  test::HeadlessRig rig;
  std::string Name(Args args) { return FirmListName(args, rig.process); }
};

TEST_F(FirmListNameTest, DefaultWhenNeitherOptionNorVariable) {
  EXPECT_EQ(Name({}), "SPISFIRM.DAT");
  EXPECT_EQ(Name({"/kprspis:"}), "SPISFIRM.DAT");
}

TEST_F(FirmListNameTest, OptionInAnyCaseOrWithDashSetsTheName) {
  EXPECT_EQ(Name({"C:\\DOR\\", "/kprspis:FIRMY.DAT"}), "FIRMY.DAT");
  EXPECT_EQ(Name({"/KPRSPIS:FIRMY.DAT"}), "FIRMY.DAT");
  EXPECT_EQ(Name({"-KprSpis:FIRMY.DAT"}), "FIRMY.DAT");
}

TEST_F(FirmListNameTest, VariableWhenNoOptionAndTheOptionWinsOverIt) {
  rig.process.SetEnvironment("KPRSPIS", "ZMIENNA.DAT");
  EXPECT_EQ(Name({}), "ZMIENNA.DAT");
  EXPECT_EQ(Name({"/kprspis:"}), "ZMIENNA.DAT");  // an empty option value is no value
  EXPECT_EQ(Name({"/kprspis:OPCJA.DAT"}), "OPCJA.DAT");
  rig.process.SetEnvironment("KPRSPIS", "");
  EXPECT_EQ(Name({}), "SPISFIRM.DAT");
}

TEST_F(FirmListNameTest, LongValuesAreCutTo12Characters) {
  EXPECT_EQ(Name({"/kprspis:SPISFIRM2020.DAT"}), "SPISFIRM2020");
  rig.process.SetEnvironment("KPRSPIS", "BARDZODLUGANAZWA.DAT");
  EXPECT_EQ(Name({}), "BARDZODLUGAN");
}

struct ConfigurationTest : ::testing::Test {
  ConfigurationTest() { rig.process.SetOwnPath("/dor/2020/zq18-20"); }
  test::HeadlessRig rig;
};

TEST_F(ConfigurationTest, DefaultsLieInTheProgramDirectory) {
  Configuration c = SettleConfiguration(rig.process);
  EXPECT_EQ(c.firmListName, "SPISFIRM.DAT");
  EXPECT_EQ(c.configFile, "/dor/2020/DOR_2020.INI");
  EXPECT_EQ(c.printerFile, "/dor/2020/DRUKARKI.SET");
  EXPECT_EQ(c.arkDirectory, "/dor/2020/ARK\\");
  EXPECT_EQ(c.xmlDirectory, "/dor/2020/XML\\");
  EXPECT_EQ(c.dorDirectory, "/dor/2020/DOR\\");
  EXPECT_EQ(c.rejDirectory, "/dor/2020/REJ\\");
  EXPECT_EQ(c.kduDirectory, "/dor/2020/KDU\\");
  EXPECT_EQ(c.xyDirectory, "/dor/2020/XY\\");
  EXPECT_FALSE(c.exc);
  EXPECT_FALSE(c.lfn);
}

TEST_F(ConfigurationTest, VariablesReplaceTheDefaults) {
  rig.process.SetEnvironment("KPRCNF", "INNY.INI");
  rig.process.SetEnvironment("KPRLPT", "LPT.SET");
  rig.process.SetEnvironment("KPRXY", "XY2\\");
  Configuration c = SettleConfiguration(rig.process);
  EXPECT_EQ(c.configFile, "/dor/2020/INNY.INI");  // a bare name lies beside the program
  EXPECT_EQ(c.printerFile, "LPT.SET");
  EXPECT_EQ(c.xyDirectory, "/dor/2020/XY2\\");

  rig.process.SetEnvironment("KPRCNF", "D:\\CNF\\DOR.INI");
  rig.process.SetEnvironment("KPRXY", "D:\\XY\\");
  c = SettleConfiguration(rig.process);
  EXPECT_EQ(c.configFile, "D:\\CNF\\DOR.INI");
  EXPECT_EQ(c.xyDirectory, "D:\\XY\\");
}

TEST_F(ConfigurationTest, ExcAndLfnAreRecognisedAndTheFirmListSettled) {
  rig.process.SetArguments({"C:\\DOR_2020\\", "/exc", "-LFN", "/kprspis:F.DAT"});
  Configuration c = SettleConfiguration(rig.process);
  EXPECT_TRUE(c.exc);
  EXPECT_TRUE(c.lfn);
  EXPECT_EQ(c.firmListName, "F.DAT");
}

}  // namespace
}  // namespace zq::shared
