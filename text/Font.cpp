#include "text/Font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <hb-ot.h>
#include <hb.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <optional>
#include <tuple>
#include <unordered_map>

namespace vellum {

namespace detail {

// An opened face: the file mapped once and shared by FreeType (outlines, advances) and HarfBuzz
// (character-to-glyph mapping). Outlines are decomposed once per glyph and kept.
class FontFace {
 public:
  FontFace(hb_blob_t* blob, FT_Face ft, std::string postscriptName, std::string family, std::string style,
           std::string file)
      : blob_(blob), ft_(ft), postscriptName_(std::move(postscriptName)), family_(std::move(family)),
        style_(std::move(style)), file_(std::move(file)) {
    const unsigned index = static_cast<unsigned>(ft->face_index);
    hbFace_ = hb_face_create(blob_, index & 0xFFFFu);
    hbFont_ = hb_font_create(hbFace_);
    if (index >> 16) hb_font_set_var_named_instance(hbFont_, (index >> 16) - 1);
    hb_font_make_immutable(hbFont_);
    glyphs_.resize(static_cast<size_t>(std::max<FT_Long>(ft->num_glyphs, 0)));
  }
  ~FontFace() {
    hb_font_destroy(hbFont_);
    hb_face_destroy(hbFace_);
    FT_Done_Face(ft_);
    hb_blob_destroy(blob_);
  }
  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;

  const GlyphOutline& outline(Glyph glyph) {
    static const GlyphOutline kNone;
    if (glyph >= glyphs_.size()) return kNone;
    std::lock_guard lock(mutex_);
    std::unique_ptr<GlyphOutline>& slot = glyphs_[glyph];
    if (!slot) slot = decompose(glyph);
    return *slot;
  }

  hb_font_t* hbFont() const { return hbFont_; }
  // HarfBuzz maps characters only in sfnt files (TrueType, OpenType); in a Type 1 file every
  // character would become glyph 0 and the text would have no outlines.
  bool shapeable() const { return hb_face_get_glyph_count(hbFace_) > 0; }
  unsigned unitsPerEm() const { return ft_->units_per_EM ? ft_->units_per_EM : 1000; }
  size_t numberOfGlyphs() const { return glyphs_.size(); }

  const std::string& postscriptName() const { return postscriptName_; }
  const std::string& family() const { return family_; }
  const std::string& style() const { return style_; }
  const std::string& file() const { return file_; }

 private:
  struct Builder {
    GlyphOutline* out;
    Point start, current;
    bool open = false;

    void closeContour() {
      if (!open) return;
      // The decomposer ends each contour with a line back to its start; the close draws that edge.
      if (!out->kinds.empty() && out->kinds.back() == kLine && out->points.back() == start) {
        out->kinds.pop_back();
        out->points.pop_back();
      }
      out->kinds.push_back(kClose);
      open = false;
    }
  };
  static constexpr uint8_t kMove = 0, kLine = 1, kCurve = 2, kClose = 3;

  static Point pt(const FT_Vector* v) { return {double(v->x), double(v->y)}; }

  static int moveTo(const FT_Vector* to, void* user) {
    auto* b = static_cast<Builder*>(user);
    b->closeContour();
    b->start = b->current = pt(to);
    b->out->kinds.push_back(kMove);
    b->out->points.push_back(b->start);
    b->open = true;
    return 0;
  }
  static int lineTo(const FT_Vector* to, void* user) {
    auto* b = static_cast<Builder*>(user);
    b->current = pt(to);
    b->out->kinds.push_back(kLine);
    b->out->points.push_back(b->current);
    return 0;
  }
  static int conicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    auto* b = static_cast<Builder*>(user);
    const Point p0 = b->current, q = pt(control), p2 = pt(to);
    // The cubic that traces the same quadratic exactly.
    constexpr double k = 2.0 / 3.0;
    b->out->kinds.push_back(kCurve);
    b->out->points.push_back({p0.x + k * (q.x - p0.x), p0.y + k * (q.y - p0.y)});
    b->out->points.push_back({p2.x + k * (q.x - p2.x), p2.y + k * (q.y - p2.y)});
    b->out->points.push_back(p2);
    b->current = p2;
    return 0;
  }
  static int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    auto* b = static_cast<Builder*>(user);
    b->current = pt(to);
    b->out->kinds.push_back(kCurve);
    b->out->points.push_back(pt(c1));
    b->out->points.push_back(pt(c2));
    b->out->points.push_back(b->current);
    return 0;
  }

  std::unique_ptr<GlyphOutline> decompose(Glyph glyph) {
    auto out = std::make_unique<GlyphOutline>();
    // Unscaled: font units, no hinting, no bitmaps; the caller scales in double precision, so
    // any size works, 1e9 included.
    if (FT_Load_Glyph(ft_, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return out;
    const FT_GlyphSlot slot = ft_->glyph;
    out->advance = double(slot->advance.x);
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return out;
    static const FT_Outline_Funcs funcs = {moveTo, lineTo, conicTo, cubicTo, 0, 0};
    Builder b{out.get()};
    if (FT_Outline_Decompose(&slot->outline, &funcs, &b) != 0) {
      out->kinds.clear();
      out->points.clear();
      return out;
    }
    b.closeContour();
    out->kinds.shrink_to_fit();
    out->points.shrink_to_fit();
    return out;
  }

  hb_blob_t* blob_;
  FT_Face ft_;
  hb_face_t* hbFace_ = nullptr;
  hb_font_t* hbFont_ = nullptr;
  std::string postscriptName_, family_, style_, file_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<GlyphOutline>> glyphs_;
};

}  // namespace detail

using detail::FontFace;

namespace {

// PostScript names are at most 63 characters; anything much longer names no font.
constexpr size_t kMaxNameLength = 255;
// Names that found nothing are remembered too, up to this many.
constexpr size_t kMaxRememberedNames = 4096;

std::string normalized(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (c == ' ') continue;
    out.push_back((c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c);
  }
  return out;
}

std::string fcString(FcPattern* p, const char* object, int n = 0) {
  FcChar8* s = nullptr;
  if (FcPatternGetString(p, object, n, &s) != FcResultMatch || !s) return {};
  return reinterpret_cast<const char*>(s);
}

// Position of the first value of `object` equal to `wanted` (ignoring case and blanks), or -1.
int valuePosition(FcPattern* p, const char* object, const std::string& wanted) {
  FcChar8* s = nullptr;
  for (int n = 0; FcPatternGetString(p, object, n, &s) == FcResultMatch; ++n)
    if (s && normalized(reinterpret_cast<const char*>(s)) == wanted) return n;
  return -1;
}

struct FaceLocation {
  std::string file;
  int index = 0;
  std::string postscriptName, family, style;
  bool sfnt = false;  // a TrueType or OpenType file, which the shaper can read
  // Files the text stack can shape first, then a stable order.
  bool operator<(const FaceLocation& o) const {
    if (sfnt != o.sfnt) return sfnt;
    return std::tie(file, index) < std::tie(o.file, o.index);
  }
};

FaceLocation locationOf(FcPattern* p) {
  FaceLocation l;
  l.file = fcString(p, FC_FILE);
  FcPatternGetInteger(p, FC_INDEX, 0, &l.index);
  l.postscriptName = fcString(p, FC_POSTSCRIPT_NAME);
  l.family = fcString(p, FC_FAMILY);
  l.style = fcString(p, FC_STYLE);
  const std::string format = fcString(p, FC_FONTFORMAT);
  l.sfnt = format == "TrueType" || format == "CFF";
  return l;
}

class Registry {
 public:
  static Registry& shared() {
    static Registry* r = new Registry;  // lives as long as the process; faces are never torn down mid-use
    return *r;
  }

  std::shared_ptr<FontFace> faceNamed(std::string_view name) {
    if (name.empty() || name.size() > kMaxNameLength || name.find('\0') != std::string_view::npos) return nullptr;
    std::string key = normalized(name);
    std::lock_guard lock(mutex_);
    if (auto it = byName_.find(key); it != byName_.end()) return it->second;
    std::shared_ptr<FontFace> face;
    // Several files may carry the name (an OpenType file and Type 1 copies of one face): the
    // first that the shaper can read is the font.
    for (const FaceLocation& location : find(std::string(name), key))
      if ((face = open(location)) && face->shapeable()) break;
    if (face && !face->shapeable()) face = nullptr;
    if (byName_.size() >= kMaxRememberedNames) byName_.clear();
    byName_.emplace(std::move(key), face);
    return face;
  }

  std::string lookAlikeName(const std::string& name) {
    const size_t dash = name.rfind('-');
    std::string query = name;
    if (dash != std::string::npos && dash > 0 && dash + 1 < name.size())
      query = name.substr(0, dash) + ":style=" + name.substr(dash + 1);
    std::lock_guard lock(mutex_);
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(query.c_str()));
    if (!pattern) return {};
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    std::string found;
    if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
      found = fcString(match, FC_POSTSCRIPT_NAME);
      FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return found;
  }

  std::shared_ptr<FontFace> systemFace() {
    std::lock_guard lock(mutex_);
    if (systemLooked_) return system_;
    systemLooked_ = true;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif"));
    if (!pattern) return nullptr;
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
      system_ = open(locationOf(match));
      FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return system_;
  }

 private:
  Registry() { FT_Init_FreeType(&library_); }

  // Installed outline faces whose `object` has `value`, in a stable order.
  static std::vector<FcPattern*> list(FcFontSet*& set, std::initializer_list<std::pair<const char*, const char*>> where) {
    std::vector<FcPattern*> out;
    FcPattern* pattern = FcPatternCreate();
    for (auto [object, value] : where) FcPatternAddString(pattern, object, reinterpret_cast<const FcChar8*>(value));
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, FC_INDEX, FC_POSTSCRIPT_NAME, FC_FAMILY, FC_STYLE, FC_FONTFORMAT, nullptr);
    set = FcFontList(nullptr, pattern, objects);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    if (set)
      for (int i = 0; i < set->nfont; ++i) out.push_back(set->fonts[i]);
    return out;
  }

  // The faces that carry the name, best first.
  std::vector<FaceLocation> find(const std::string& name, const std::string& key) {
    // 1. The PostScript name.
    FcFontSet* set = nullptr;
    std::vector<FaceLocation> found;
    for (FcPattern* p : list(set, {{FC_POSTSCRIPT_NAME, name.c_str()}}))
      if (valuePosition(p, FC_POSTSCRIPT_NAME, key) >= 0) found.push_back(locationOf(p));
    if (set) FcFontSetDestroy(set);
    if (!found.empty()) {
      std::sort(found.begin(), found.end());
      return found;
    }

    // 2. Family and style around the last "-"; the face for which both are its first (own)
    //    names wins over one that lists them as alternatives.
    const size_t dash = name.rfind('-');
    if (dash == std::string::npos || dash == 0 || dash + 1 == name.size()) return found;
    const std::string family = name.substr(0, dash), style = name.substr(dash + 1);
    const std::string familyKey = normalized(family), styleKey = normalized(style);
    std::vector<std::pair<int, FaceLocation>> scored;
    set = nullptr;
    for (FcPattern* p : list(set, {{FC_FAMILY, family.c_str()}, {FC_STYLE, style.c_str()}})) {
      const int f = valuePosition(p, FC_FAMILY, familyKey), s = valuePosition(p, FC_STYLE, styleKey);
      if (f >= 0 && s >= 0) scored.emplace_back(f + s, locationOf(p));
    }
    if (set) FcFontSetDestroy(set);
    std::sort(scored.begin(), scored.end(), [](const auto& x, const auto& y) {
      return x.first != y.first ? x.first < y.first : x.second < y.second;
    });
    for (auto& entry : scored) found.push_back(std::move(entry.second));
    return found;
  }

  std::shared_ptr<FontFace> open(const FaceLocation& l) {
    if (l.file.empty() || !library_) return nullptr;
    const std::string faceKey = l.file + '\n' + std::to_string(l.index);
    if (auto it = faces_.find(faceKey); it != faces_.end()) return it->second;
    std::shared_ptr<FontFace> face;
    if (hb_blob_t* blob = hb_blob_create_from_file_or_fail(l.file.c_str())) {
      unsigned length = 0;
      const char* data = hb_blob_get_data(blob, &length);
      FT_Face ft = nullptr;
      if (FT_New_Memory_Face(library_, reinterpret_cast<const FT_Byte*>(data), FT_Long(length), l.index, &ft) == 0) {
        if (FT_IS_SCALABLE(ft)) {
          std::string ps = l.postscriptName;
          if (ps.empty())
            if (const char* n = FT_Get_Postscript_Name(ft)) ps = n;
          face = std::make_shared<FontFace>(blob, ft, ps, l.family, l.style, l.file);
          blob = nullptr;  // the face owns it now
        } else {
          FT_Done_Face(ft);
        }
      }
      if (blob) hb_blob_destroy(blob);
    }
    faces_.emplace(faceKey, face);
    return face;
  }

  std::mutex mutex_;
  FT_Library library_ = nullptr;
  std::unordered_map<std::string, std::shared_ptr<FontFace>> byName_;
  std::unordered_map<std::string, std::shared_ptr<FontFace>> faces_;
  bool systemLooked_ = false;
  std::shared_ptr<FontFace> system_;
};

double usableSize(double size) { return std::isfinite(size) && size > 0 ? size : Font::kDefaultSize; }

bool isControl(const std::string_view s, size_t at) {
  const auto c = static_cast<unsigned char>(s[at]);
  if (c < 0x20 || c == 0x7F) return true;
  // C1 controls, U+0080..U+009F, encode as C2 80..C2 9F.
  return c == 0xC2 && at + 1 < s.size() && (static_cast<unsigned char>(s[at + 1]) & 0xE0) == 0x80;
}

// A run of more marks and invisible (default-ignorable) characters than this is cut to this
// many. Unicode's stream-safe form allows 30 marks in a row; longer runs draw nothing meaningful
// and make shaping time grow with the square of their length (a megabyte of accents, or of
// soft hyphens alone, would take minutes).
constexpr int kMaxMarksInARow = 30;

// Unicode's Default_Ignorable_Code_Point property.
bool isDefaultIgnorable(uint32_t c) {
  return c == 0x00AD || c == 0x034F || c == 0x061C || (c >= 0x115F && c <= 0x1160) || (c >= 0x17B4 && c <= 0x17B5) ||
         (c >= 0x180B && c <= 0x180F) || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2060 && c <= 0x206F) || c == 0x3164 || (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF || c == 0xFFA0 ||
         (c >= 0xFFF0 && c <= 0xFFF8) || (c >= 0x1BCA0 && c <= 0x1BCA3) || (c >= 0x1D173 && c <= 0x1D17A) ||
         (c >= 0xE0000 && c <= 0xE0FFF);
}

// Length of the valid UTF-8 sequence at `at` and its code point; 0 when the bytes there are not
// one (HarfBuzz then reads each such byte as U+FFFD).
size_t decodeUtf8(std::string_view s, size_t at, uint32_t& cp) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[at + k]); };
  const unsigned char c = b(0);
  size_t n;
  unsigned char lo = 0x80, hi = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) { n = 2; cp = c & 0x1F; }
  else if (c >= 0xE0 && c <= 0xEF) { n = 3; cp = c & 0x0F; if (c == 0xE0) lo = 0xA0; if (c == 0xED) hi = 0x9F; }
  else if (c >= 0xF0 && c <= 0xF4) { n = 4; cp = c & 0x07; if (c == 0xF0) lo = 0x90; if (c == 0xF4) hi = 0x8F; }
  else return 0;
  if (at + n > s.size() || b(1) < lo || b(1) > hi) return 0;
  cp = (cp << 6) | (b(1) & 0x3F);
  for (size_t k = 2; k < n; ++k) {
    if ((b(k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(k) & 0x3F);
  }
  return n;
}

// The text with every run of marks and invisible characters cut to kMaxMarksInARow; `s` itself
// when nothing is cut.
std::string_view limitMarkRuns(std::string_view s, std::string& scratch) {
  hb_unicode_funcs_t* unicode = hb_unicode_funcs_get_default();
  int run = 0;
  bool cutting = false;
  for (size_t i = 0; i < s.size();) {
    uint32_t cp = 0;
    const size_t n = static_cast<unsigned char>(s[i]) < 0x80 ? 0 : decodeUtf8(s, i, cp);
    const size_t length = n ? n : 1;
    bool mark = false;
    if (n) {
      const hb_unicode_general_category_t category = hb_unicode_general_category(unicode, cp);
      mark = category == HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK ||
             category == HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK ||
             category == HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK || isDefaultIgnorable(cp);
    }
    run = mark ? run + 1 : 0;
    if (run > kMaxMarksInARow) {
      if (!cutting) scratch.assign(s.substr(0, i));
      cutting = true;
    } else if (cutting) {
      scratch.append(s.substr(i, length));
    }
    i += length;
  }
  return cutting ? std::string_view(scratch) : s;
}

constexpr size_t kMaxShapedBytes = size_t{1} << 22;

struct BufferDeleter {
  void operator()(hb_buffer_t* b) const { hb_buffer_destroy(b); }
};

}  // namespace

// ---- Font ---------------------------------------------------------------------------------------

std::shared_ptr<const Font> Font::fontWithName(std::string_view name, double size) {
  auto face = Registry::shared().faceNamed(name);
  if (!face) return nullptr;
  return std::make_shared<const Font>(std::move(face), size);
}

std::string Font::lookAlikeName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameLength || name.find('\0') != std::string_view::npos) return {};
  return Registry::shared().lookAlikeName(std::string(name));
}

std::shared_ptr<const Font> Font::systemFontOfSize(double size) {
  auto face = Registry::shared().systemFace();
  if (!face) return nullptr;
  return std::make_shared<const Font>(std::move(face), size);
}

Font::Font(std::shared_ptr<detail::FontFace> face, double size)
    : face_(std::move(face)), size_(usableSize(size)), scale_(size_ / face_->unitsPerEm()) {}

const std::string& Font::fontName() const { return face_->postscriptName(); }
const std::string& Font::familyName() const { return face_->family(); }
const std::string& Font::styleName() const { return face_->style(); }
const std::string& Font::filePath() const { return face_->file(); }
unsigned Font::unitsPerEm() const { return face_->unitsPerEm(); }
size_t Font::numberOfGlyphs() const { return face_->numberOfGlyphs(); }

double Font::advancementForGlyph(Glyph glyph) const { return face_->outline(glyph).advance * scale_; }

const GlyphOutline& Font::outlineForGlyph(Glyph glyph) const { return face_->outline(glyph); }

std::vector<Glyph> Font::glyphsForString(std::string_view text) const {
  std::vector<Glyph> glyphs;
  if (text.empty()) return glyphs;
  // Shaping holds some 40 bytes per character; the callers outline at most 65536 glyphs, so text
  // past the first 4 MiB (cut at a character boundary) is never needed.
  if (text.size() > kMaxShapedBytes) {
    size_t end = kMaxShapedBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text = text.substr(0, end);
  }
  std::string scratch;
  const std::string_view utf8 = limitMarkRuns(text, scratch);
  const int length = static_cast<int>(utf8.size());

  thread_local std::unique_ptr<hb_buffer_t, BufferDeleter> buffer(hb_buffer_create());
  hb_buffer_t* b = buffer.get();
  hb_buffer_reset(b);
  // Invisible format characters (joiners, soft hyphens) must not leave a glyph with an advance.
  hb_buffer_set_flags(b, hb_buffer_flags_t(HB_BUFFER_FLAG_BOT | HB_BUFFER_FLAG_EOT |
                                           HB_BUFFER_FLAG_REMOVE_DEFAULT_IGNORABLES));
  hb_buffer_set_cluster_level(b, HB_BUFFER_CLUSTER_LEVEL_MONOTONE_CHARACTERS);
  hb_buffer_add_utf8(b, utf8.data(), length, 0, length);
  hb_buffer_guess_segment_properties(b);
  // Only the glyph choice is used; positions come from the advances alone.
  static const hb_feature_t features[] = {{HB_TAG('k', 'e', 'r', 'n'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END}};
  hb_shape(face_->hbFont(), b, features, 1);

  unsigned count = 0;
  const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(b, &count);
  glyphs.reserve(count);
  for (unsigned i = 0; i < count; ++i) {
    // Control characters (line breaks, tabs) lay out nothing on a single baseline.
    if (info[i].cluster < utf8.size() && isControl(utf8, info[i].cluster)) continue;
    glyphs.push_back(info[i].codepoint);
  }
  if (length > (1 << 16)) buffer.reset(hb_buffer_create());  // don't keep a huge buffer around
  return glyphs;
}

}  // namespace vellum
