// The annual settings: any 2019_ROK.REK and 2020_ROK.REK, either or both, with the
// year and VAT proportion questions answered by keys from the input. The Target
// 2020_ROK.REK is three whole records when the conversion says it was written and
// absent otherwise; the Source files stay as they were.
#include <string>

#include "convert/annual.h"
#include "fuzz.h"
#include "tui/screen.h"

namespace zq::fuzz {
namespace {

ZQ_FUZZ_TARGET(annual) {
  if (data.size() < 3) return;
  const std::uint8_t options = data[0];
  const std::size_t split = std::min<std::size_t>(data[1] | data[2] << 8, data.size() - 3);
  Input files = data.subspan(3);
  // The last bytes are the answers; the rest the files.
  const std::size_t answerCount = std::min<std::size_t>(files.size(), options >> 4);
  Input answers = files.last(answerCount);
  files = files.first(files.size() - answerCount);
  const std::size_t cut = std::min(split, files.size());
  const std::string file2019 = AsString(files.first(cut));
  const std::string file2020 = AsString(files.subspan(cut));

  Tree& tree = FreshTree();
  tree.MakeDirectory("S/F");
  tree.MakeDirectory("T/F");
  if (options & 1) tree.Write("S/F/2019_ROK.REK", file2019);
  if (options & 2) tree.Write("S/F/2020_ROK.REK", file2020);

  Rig rig;
  rig.PushAnswers(answers);
  tui::Screen screen(rig.platform);
  convert::ProgressLog log(screen);
  convert::Copier copier(screen, log);
  bool alwaysTake2020 = (options & 8) != 0;
  const std::string sourceDir = tree.Prefix() + "S/F";
  const std::string targetDir = tree.Prefix() + "T/F";
  convert::AnnualResult result;
  try {
    result = convert::ConvertAnnualSettings({.screen = screen,
                                             .copier = copier,
                                             .sourceFirmDir = sourceDir,
                                             .targetFirmDir = targetDir,
                                             .warnOpenDecember = (options & 4) != 0,
                                             .alwaysTake2020 = alwaysTake2020});
  } catch (const platform::ScriptExhausted&) {
    return;  // more questions than answers
  }
  std::string now;
  if (options & 1)
    ZQ_CHECK(tree.Read("S/F/2019_ROK.REK", now) && now == file2019, "2019 source changed");
  if (options & 2)
    ZQ_CHECK(tree.Read("S/F/2020_ROK.REK", now) && now == file2020, "2020 source changed");
  std::string written;
  const bool present = tree.Read("T/F/2020_ROK.REK", written);
  if (result.outcome == convert::AnnualOutcome::kWritten)
    ZQ_CHECK(present && written.size() == convert::kAnnualRecordCount * convert::kAnnualRecordSize,
             "written, but not three whole records");
  else
    ZQ_CHECK(!present, "a Target left behind by a conversion that did not finish");
  ZQ_CHECK(result.sourceFirmDir.size() <= convert::kSourceFirmDirLength,
           "previous-year directory too long");
  if (result.outcome == convert::AnnualOutcome::kWritten) {
    ZQ_CHECK(static_cast<std::uint8_t>(written[0x75]) == result.firmVatProportional,
             "published VAT flag differs from the record");
    ZQ_CHECK((static_cast<std::uint8_t>(written[0x76]) | static_cast<std::uint8_t>(written[0x77])
                                                             << 8) == result.firmVatProportion,
             "published VAT proportion differs from the record");
  }
}

}  // namespace
}  // namespace zq::fuzz
