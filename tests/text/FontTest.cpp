#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "text/Font.h"
#include "tests/support/Fontconfig.h"

using namespace vellum;

namespace {

std::string baseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

}  // namespace

// PostScript names in any case and spacing, and family-style pairs around the last dash.
TEST(FontLookup, NamesAndTheFilesTheyName) {
  const std::pair<const char*, const char*> rows[] = {
      {"DejaVuSerif-Bold", "DejaVuSerif-Bold.ttf"},
      {"dejavuserif-bold", "DejaVuSerif-Bold.ttf"},
      {"DEJAVUSERIF-BOLD", "DejaVuSerif-Bold.ttf"},
      {"DejaVu Serif-Bold", "DejaVuSerif-Bold.ttf"},
      {" DejaVuSerif-Bold ", "DejaVuSerif-Bold.ttf"},
      {"LiberationSans-Italic", "LiberationSans-Italic.ttf"},
      {"LiberationSans", "LiberationSans-Regular.ttf"},  // the regular face's name has no style part
      // No face has this PostScript name; family "LiberationSans" (blanks ignored) with style
      // "Regular" does.
      {"LiberationSans-Regular", "LiberationSans-Regular.ttf"},
      // DejaVu Sans and DejaVu Sans Condensed both list family "DejaVu Sans" and a style "Book";
      // the face whose own names they are wins over the one that lists them as alternatives.
      {"DejaVuSans-Book", "DejaVuSans.ttf"},
  };
  for (const auto& [name, file] : rows) {
    FontRef f = Font::fontWithName(name, 12);
    ASSERT_TRUE(f) << name;
    EXPECT_EQ(baseName(f->filePath()), file) << name;
  }
  EXPECT_EQ(Font::fontWithName("LiberationSans-Regular", 12)->fontName(), "LiberationSans");  // the face's own name
}

// fonts-urw-base35 installs NimbusRoman-Regular as an OpenType file and as Type 1 files, whose
// characters the shaper cannot map (each would be glyph 0): the OpenType file is the font.
TEST(FontLookup, OfFilesSharingANameTheOneTheShaperReadsWins) {
  FontRef f = Font::fontWithName("NimbusRoman-Regular", 12);
  ASSERT_TRUE(f) << "scripts/install-deps installs fonts-urw-base35";
  EXPECT_EQ(baseName(f->filePath()), "NimbusRoman-Regular.otf");
  const std::vector<Glyph> glyphs = f->glyphsForString("Ag");
  ASSERT_EQ(glyphs.size(), 2u);
  for (Glyph g : glyphs) {
    EXPECT_NE(g, 0u);
    EXPECT_FALSE(f->outlineForGlyph(g).kinds.empty());
  }
}

// fontconfig would match each of these to some face: none is installed by that name, and a
// malformed name names nothing.
TEST(FontLookup, NoSubstituteForAMissingOrMalformedName) {
  // "DejaVuSans-Regular": that face's style is "Book". The NUL must not cut the name short.
  const std::string names[] = {"DejaVuSerif-Bolder", "NoSuchFamily-Bold", "DejaVuSans-Regular", "sans-serif",
                               "Helvetica", "", "-", "DejaVuSans-", "-Bold", "*", "DejaVuSans\xff",
                               std::string("DejaVuSans\0Bold", 15), std::string(100000, 'a')};
  for (const std::string& name : names) EXPECT_FALSE(Font::fontWithName(name, 12)) << name;
  if (vellum::testing::fontconfigLists(FC_FAMILY, "Georgia")) GTEST_SKIP() << "Georgia is installed here";
  EXPECT_FALSE(Font::fontWithName("Georgia-Bold", 20));
  // Asked again, the answer is the same (remembered, not re-matched into a substitute).
  EXPECT_FALSE(Font::fontWithName("Georgia-Bold", 20));
}

TEST(FontLookup, SizesOutOfRangeMeanTwelve) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  for (double size : {0.0, -0.0, -5.0, nan, inf, -inf, 1e9, 1e-4}) {
    FontRef f = Font::fontWithName("DejaVuSans", size);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->pointSize(), std::isfinite(size) && size > 0 ? size : 12) << size;
  }
}

TEST(FontGlyphs, GlyphsOutsideTheFaceHaveNoOutline) {
  FontRef f = Font::fontWithName("DejaVuSans", 12);
  ASSERT_TRUE(f);
  const Glyph beyond = static_cast<Glyph>(f->numberOfGlyphs());
  EXPECT_TRUE(f->outlineForGlyph(beyond).kinds.empty());
  EXPECT_EQ(f->advancementForGlyph(beyond), 0);
  EXPECT_TRUE(f->outlineForGlyph(0xFFFFFFFFu).kinds.empty());
}
