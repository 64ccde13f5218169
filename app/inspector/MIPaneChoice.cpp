#include "app/inspector/MIPaneChoice.h"

namespace {

bool only(int count, int total) { return count > 0 && count == total; }

}  // namespace

MIPaneChoice MIPaneChoice::choose(const MIKindCounts& counts, int entries) {
  const int total = counts.total();
  const bool single = entries == 1;
  auto pick = [single](Box box, Kind kind, const char* several) {
    return MIPaneChoice{box, kind, single ? QString() : QString::fromLatin1(several)};
  };
  if (only(counts.compositions, total))
    return pick(Box::Composition, Kind::Composition, "Multiple QTZ files selected");
  if (only(counts.texts, total))
    return pick(Box::Composition, Kind::Text, "Multiple text files selected");
  if (only(counts.images, total))
    return pick(Box::Composition, Kind::Image, "Multiple image files selected");
  if (only(counts.movies, total)) return pick(Box::Movie, Kind::Movie, "Multiple movies selected");
  if (only(counts.webs, total)) return pick(Box::Web, Kind::Web, "Multiple web links selected");
  if (only(counts.taps, total)) return pick(Box::Tap, Kind::Tap, "Multiple taps selected");
  if (entries == 0) return {Box::Empty, Kind::None, QStringLiteral("None")};
  return {Box::Multiple, Kind::Mixed, QStringLiteral("Multiple types selected")};
}
