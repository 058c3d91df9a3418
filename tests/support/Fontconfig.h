// Whether fontconfig lists any face with a property, for the tests that need a font absent.
#pragma once

#include <fontconfig/fontconfig.h>

namespace vellum::testing {

// `object` is a fontconfig property name (FC_FAMILY, FC_POSTSCRIPT_NAME).
inline bool fontconfigLists(const char* object, const char* value) {
  FcPattern* p = FcPatternCreate();
  FcPatternAddString(p, object, reinterpret_cast<const FcChar8*>(value));
  FcObjectSet* os = FcObjectSetBuild(FC_FILE, nullptr);
  FcFontSet* set = FcFontList(nullptr, p, os);
  const bool found = set && set->nfont > 0;
  if (set) FcFontSetDestroy(set);
  FcObjectSetDestroy(os);
  FcPatternDestroy(p);
  return found;
}

}  // namespace vellum::testing
