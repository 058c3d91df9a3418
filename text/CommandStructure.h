// The command interpreter: a structure of drawing commands appended to a path.
#pragma once

#include "host/Structure.h"
#include "path/BezierPath.h"

namespace vellum {

// Each member that is a structure is a command: a keyword string (any letter case) and its
// arguments, numbers or numeric strings. Keywords: moveto, movetorel, lineto, linetorel, rectto,
// recttorel, ovalto, ovaltorel, roundedrectto, roundedrecttorel, curveto, curvetorel, arc, arcto,
// arctorel, text, close. Unknown keywords, wrong member counts, empty commands, a "text" whose
// string or font name is not a string and font names that name no font are skipped.
//
// Throws vellum::Exception, leaving the commands before it applied, when a command needs a
// current point the path does not have, when a keyword is not a string, and when an argument is
// neither a number nor a string. Nothing (a null structure) appends nothing.
void appendBezierPathWithStructure(BezierPath& path, const Structure* structure);
inline void appendBezierPathWithStructure(BezierPath& path, const StructureRef& structure) {
  appendBezierPathWithStructure(path, structure.get());
}

}  // namespace vellum
