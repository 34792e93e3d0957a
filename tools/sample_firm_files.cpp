#include "sample_firm_files.h"

#include <string>
#include <string_view>

#include "platform/cp852.h"
#include "shared/record.h"

namespace zq::sample {

using zq::operator""_pl;
using shared::Field;
using shared::Kind;
using shared::RecordRef;

namespace {

std::string Noise(Rng& rng, std::size_t n) {
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng.Below(256));
  return s;
}

double Grosze(Rng& rng, int lowZloty, int highZloty) {
  return rng.Between(lowZloty * 100, highZloty * 100) / 100.0;
}

constexpr Field kDraFields[] = {
    {"A", 478, 8, Kind::Real},        {"B", 518, 8, Kind::Real},
    {"Negative", 526, 8, Kind::Real}, {"NonNegative", 534, 8, Kind::Real},
    {"C", 590, 8, Kind::Real},        {"D", 614, 8, Kind::Real},
    {"E", 630, 8, Kind::Real},        {"Balance", 688, 8, Kind::Real},
};
constexpr shared::Layout kDra{"2020D4??", kDraHeaderBytes, kDraFields};
static_assert(kDra.Problem().empty());

enum class Balance { kPositive, kZero, kNegative };

// The amounts are whole grosze that add up exactly in binary for the zero case: C, D
// and E are zero and B equals A.
std::string Declaration(Rng& rng, Balance balance, int blocks, std::size_t shortTail) {
  std::string file = Noise(rng, kDraHeaderBytes);
  RecordRef r(file);
  double a = Grosze(rng, 500, 9000);
  double b = 0, c = 0, d = 0, e = 0;
  switch (balance) {
    case Balance::kPositive:
      b = Grosze(rng, 0, 400);
      c = Grosze(rng, 0, 300);
      d = Grosze(rng, 0, 200);
      e = Grosze(rng, 0, 100);
      break;
    case Balance::kZero:
      b = a;
      break;
    case Balance::kNegative:
      b = a + Grosze(rng, 100, 3000);
      c = Grosze(rng, 0, 50);
      break;
  }
  r.Set(kDra.Real("A"), a);
  r.Set(kDra.Real("B"), b);
  r.Set(kDra.Real("C"), c);
  r.Set(kDra.Real("D"), d);
  r.Set(kDra.Real("E"), e);
  // What the old version left in the fields the new form computes.
  r.Set(kDra.Real("Balance"), Grosze(rng, -99, 99));
  r.Set(kDra.Real("Negative"), Grosze(rng, 0, 99));
  r.Set(kDra.Real("NonNegative"), Grosze(rng, 0, 99));
  for (int k = 0; k < blocks; ++k) file += Noise(rng, kDraBlockBytes);
  file += Noise(rng, shortTail);
  return file;
}

}  // namespace

// A declaration has an attachment block per insured person.
void MakeDraDeclarations(MakerContext& ctx, FileSink& sink) {
  Rng& rng = ctx.rng;
  bool all = ctx.firmIndex == 0;
  if (all || rng.Chance(50))
    sink.Add("2020D401.001", Declaration(rng, Balance::kPositive, ctx.Records(2), 0));
  if (all || rng.Chance(30))
    sink.Add("2020D402.001", Declaration(rng, Balance::kZero, ctx.Records(1), 0));
  if (all || rng.Chance(30))
    sink.Add("2020D403.002", Declaration(rng, Balance::kNegative, ctx.Records(1), 100));
  if (all) sink.Add("2020D404.2020", Declaration(rng, Balance::kPositive, 0, 0));
}

void MakeModuleFiles(MakerContext& ctx, FileSink& sink) {
  Rng& rng = ctx.rng;
  // A firm of some size keeps its mileage in the modules.
  bool all = ctx.firmIndex == 0 || ctx.Records(1) > 1;
  if (!all && !rng.Chance(40)) return;
  auto records = [&](int count, std::size_t size) {
    return Noise(rng, static_cast<std::size_t>(ctx.Records(count)) * size);
  };
  sink.Add("miasta.cel", TextLines({"Łódź;Kraków;270"_pl, "Łódź;Warszawa;135"_pl}));
  sink.Add("cel2019.rek", records(2, 64));
  sink.Add("lokalne.trs", TextLines({"Trasa 1;Zgierz"}));
  sink.Add("tras01.rek", records(3, 96));
  sink.Add("km__firma.rek", records(2, 100));
  sink.Add("km2020.rek", records(3, 100));
  // Named like a match, but a directory: passed over.
  sink.Add("stare.cel\\opis.txt", TextLines({"Archiwum tras 2018"}));
  // Matches no pattern: stays behind.
  sink.Add("kmx.rek", Noise(rng, 50));
}

void MakeYear2020Files(MakerContext& ctx, FileSink& sink) {
  Rng& rng = ctx.rng;
  if (ctx.firm->annual2020) {
    sink.Add("2020vJ17.REK", Noise(rng, 1024));
    sink.Add("2020kol2.rek", Noise(rng, 17 * 8 * 12));
  }
  if (ctx.firmIndex == 0 || rng.Chance(50))
    sink.Add("dokument.rek",
             TextLines({"OT;Przyjęcie środka trwałego"_pl, "LT;Likwidacja środka trwałego"_pl}));
  if (ctx.firmIndex == 0 || rng.Chance(30))
    sink.Add("dor_import.xml",
             TextLines({"<?xml version=\"1.0\" encoding=\"ibm852\"?>", "<import rok=\"2020\"/>"}));
}

}  // namespace zq::sample
