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

TEST(FontLookup, PostScriptNameFindsThatFace) {
  FontRef f = Font::fontWithName("DejaVuSerif-Bold", 20);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->fontName(), "DejaVuSerif-Bold");
  EXPECT_EQ(f->familyName(), "DejaVu Serif");
  EXPECT_EQ(f->styleName(), "Bold");
  EXPECT_EQ(baseName(f->filePath()), "DejaVuSerif-Bold.ttf");
  EXPECT_EQ(f->pointSize(), 20);
  EXPECT_EQ(f->unitsPerEm(), 2048u);
  EXPECT_EQ(f->scale(), 20.0 / 2048);
}

TEST(FontLookup, NameIgnoresCaseAndBlanks) {
  for (const char* name : {"dejavuserif-bold", "DEJAVUSERIF-BOLD", "DejaVu Serif-Bold", " DejaVuSerif-Bold "}) {
    FontRef f = Font::fontWithName(name, 12);
    ASSERT_TRUE(f) << name;
    EXPECT_EQ(baseName(f->filePath()), "DejaVuSerif-Bold.ttf") << name;
  }
}

TEST(FontLookup, OtherInstalledFamilies) {
  FontRef italic = Font::fontWithName("LiberationSans-Italic", 12);
  ASSERT_TRUE(italic);
  EXPECT_EQ(baseName(italic->filePath()), "LiberationSans-Italic.ttf");
  // The regular face's PostScript name has no style part ("LiberationSans").
  FontRef regular = Font::fontWithName("LiberationSans", 12);
  ASSERT_TRUE(regular);
  EXPECT_EQ(baseName(regular->filePath()), "LiberationSans-Regular.ttf");
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

TEST(FontLookup, FamilyAndStyleAroundTheLastDash) {
  // No face has the PostScript name "LiberationSans-Regular"; family "LiberationSans" (blanks
  // ignored) with style "Regular" does.
  FontRef f = Font::fontWithName("LiberationSans-Regular", 12);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->fontName(), "LiberationSans");
  // Both DejaVu Sans and DejaVu Sans Condensed list family "DejaVu Sans" and a style "Book"; the
  // face whose own names they are wins over the one that lists them as alternatives.
  FontRef book = Font::fontWithName("DejaVuSans-Book", 12);
  ASSERT_TRUE(book);
  EXPECT_EQ(baseName(book->filePath()), "DejaVuSans.ttf");
}

TEST(FontLookup, NoSubstituteForAMissingFont) {
  // fontconfig would match all of these to some face; none of them is installed by that name.
  EXPECT_FALSE(Font::fontWithName("DejaVuSerif-Bolder", 12));
  EXPECT_FALSE(Font::fontWithName("NoSuchFamily-Bold", 12));
  EXPECT_FALSE(Font::fontWithName("DejaVuSans-Regular", 12));  // its style is called "Book"
  EXPECT_FALSE(Font::fontWithName("sans-serif", 12));
  EXPECT_FALSE(Font::fontWithName("Helvetica", 12));
  if (vellum::testing::fontconfigLists(FC_FAMILY, "Georgia")) GTEST_SKIP() << "Georgia is installed here";
  EXPECT_FALSE(Font::fontWithName("Georgia-Bold", 20));
  // Asked again, the answer is the same (remembered, not re-matched into a substitute).
  EXPECT_FALSE(Font::fontWithName("Georgia-Bold", 20));
}

TEST(FontLookup, MalformedNamesNameNoFont) {
  EXPECT_FALSE(Font::fontWithName("", 12));
  EXPECT_FALSE(Font::fontWithName("-", 12));
  EXPECT_FALSE(Font::fontWithName("DejaVuSans-", 12));
  EXPECT_FALSE(Font::fontWithName("-Bold", 12));
  // A NUL must not cut the name short into one that exists.
  EXPECT_FALSE(Font::fontWithName(std::string_view("DejaVuSans\0Bold", 15), 12));
  EXPECT_FALSE(Font::fontWithName(std::string(100000, 'a'), 12));
  EXPECT_FALSE(Font::fontWithName("DejaVuSans\xff", 12));
  EXPECT_FALSE(Font::fontWithName("*", 12));
}

TEST(FontLookup, SizesOutOfRangeMeanTwelve) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  for (double size : {0.0, -0.0, -5.0, nan, inf, -inf}) {
    FontRef f = Font::fontWithName("DejaVuSans", size);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->pointSize(), 12) << size;
  }
  EXPECT_EQ(Font::fontWithName("DejaVuSans", 1e9)->pointSize(), 1e9);
  EXPECT_EQ(Font::fontWithName("DejaVuSans", 1e-4)->pointSize(), 1e-4);
}

TEST(FontLookup, FacesAreSharedBetweenLookups) {
  FontRef a = Font::fontWithName("DejaVuSans", 10);
  FontRef b = Font::fontWithName("dejavu sans", 30);
  ASSERT_TRUE(a && b);
  EXPECT_NE(a, b);
  EXPECT_EQ(b->pointSize(), 30);
  // One face behind both: the outline decomposed for one is the very one the other hands out.
  EXPECT_EQ(&a->outlineForGlyph(68), &b->outlineForGlyph(68));
}

TEST(FontLookup, SystemFontIsTheDefaultSansSerif) {
  // What fontconfig itself calls sans-serif here.
  FcPattern* p = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif"));
  FcPatternAddBool(p, FC_OUTLINE, FcTrue);
  FcConfigSubstitute(nullptr, p, FcMatchPattern);
  FcDefaultSubstitute(p);
  FcResult r;
  FcPattern* m = FcFontMatch(nullptr, p, &r);
  ASSERT_TRUE(m);
  FcChar8* file = nullptr;
  FcPatternGetString(m, FC_FILE, 0, &file);
  const std::string expected = reinterpret_cast<const char*>(file);
  FcPatternDestroy(m);
  FcPatternDestroy(p);

  FontRef f = Font::systemFontOfSize(9);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->filePath(), expected);
  EXPECT_EQ(f->pointSize(), 9);
  EXPECT_EQ(Font::systemFontOfSize(0)->pointSize(), 12);
}

TEST(FontGlyphs, GlyphsOutsideTheFaceHaveNoOutline) {
  FontRef f = Font::fontWithName("DejaVuSans", 12);
  ASSERT_TRUE(f);
  const Glyph beyond = static_cast<Glyph>(f->numberOfGlyphs());
  EXPECT_TRUE(f->outlineForGlyph(beyond).kinds.empty());
  EXPECT_EQ(f->advancementForGlyph(beyond), 0);
  EXPECT_TRUE(f->outlineForGlyph(0xFFFFFFFFu).kinds.empty());
}
