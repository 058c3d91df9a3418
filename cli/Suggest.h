// Near-miss names: "did you mean ...?" for a class, patch, port or command written almost right.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vellum::cli {

// The candidate closest to `word` by edit distance, ignoring case, when it is close enough to be
// what was meant (at most a third of the word's letters off, and at least two allowed); empty
// otherwise.
std::string nearestName(std::string_view word, const std::vector<std::string>& candidates);

// "; did you mean 'NAME'?" for the nearest name, or nothing.
std::string didYouMean(std::string_view word, const std::vector<std::string>& candidates);

}  // namespace vellum::cli
