// The path library: include this one header. A BezierPath holds move, line, curve and close
// elements with double-precision points, a winding rule and stroke attributes; everything else
// here is free functions over paths.
//   - BezierPath.h: building, enumerating (V2DBezierPathEnumerator), bounds, containment,
//     flattening, reversing, transforming, and the command-structure form.
//   - ElementWalk.h: the one walk over a path's elements, with the close rule.
//   - AffineTransform.h: translation, scale, rotation and their composition.
//   - Assemble.h: several paths joined into one; a path through a list of points.
//   - Resample.h: points at even steps or at a fraction of the length.
//   - Morph.h: two paths paired element by element and blended.
//   - Noise.h: every point displaced by a random generator's draws.
#pragma once

#include "path/AffineTransform.h"
#include "path/Assemble.h"
#include "path/BezierPath.h"
#include "path/ElementWalk.h"
#include "path/Morph.h"
#include "path/Noise.h"
#include "path/Resample.h"
