// The text library: include this one header. Fonts are found by name among the installed faces
// (fontconfig), strings are shaped (HarfBuzz) and their glyph outlines (FreeType) appended to
// paths; the command interpreter draws a structure of commands, text among them, into a path.
//   - Font.h: Font::fontWithName, metrics and glyph outlines.
//   - TextOutlines.h: appendBezierPathWithString and appendBezierPathWithGlyphs.
//   - CommandStructure.h: a structure of drawing commands appended to a path.
#pragma once

#include "text/CommandStructure.h"
#include "text/Font.h"
#include "text/TextOutlines.h"
