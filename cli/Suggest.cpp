#include "cli/Suggest.h"

#include <algorithm>
#include <cctype>

namespace vellum::cli {

namespace {

char lower(char c) { return char(std::tolower(static_cast<unsigned char>(c))); }

// Levenshtein distance, case ignored, giving up (answering limit + 1) once it must exceed limit.
size_t distance(std::string_view a, std::string_view b, size_t limit) {
  if ((a.size() > b.size() ? a.size() - b.size() : b.size() - a.size()) > limit) return limit + 1;
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0], best = row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1)});
      diagonal = up;
      best = std::min(best, row[j]);
    }
    if (best > limit) return limit + 1;
  }
  return row[b.size()];
}

}  // namespace

std::string nearestName(std::string_view word, const std::vector<std::string>& candidates) {
  if (word.empty() || word.size() > 200) return {};
  const size_t limit = std::max<size_t>(2, word.size() / 3);
  std::string best;
  size_t bestDistance = limit + 1;
  for (const std::string& c : candidates) {
    const size_t d = distance(word, c, limit);
    if (d < bestDistance) {
      bestDistance = d;
      best = c;
    }
  }
  return best;
}

std::string didYouMean(std::string_view word, const std::vector<std::string>& candidates) {
  const std::string best = nearestName(word, candidates);
  return best.empty() ? std::string() : "; did you mean '" + best + "'?";
}

}  // namespace vellum::cli
