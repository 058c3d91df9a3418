// The mesh library: include this one header. Outlines become 3D geometry: a path's inside as
// constrained Delaunay triangles, line lists, extrusions, lathes and vertex grids, written as the
// mesh, line and grid structures.
//   - Triangulator.h: mesh::triangulate, the exact constrained Delaunay triangulation of points
//     and constraint segments in flat arrays.
//   - PathTriangulation.h: triangulateBezierPath, a path's inside by its winding rule.
//   - Solids.h: line lists, extrusions, lathes and grids of paths, as structures.
//   - V2DMeshStructure.h: the triangle lists and the structure writer behind them.
#pragma once

#include "mesh/PathTriangulation.h"
#include "mesh/Solids.h"
#include "mesh/Triangulator.h"
#include "mesh/V2DMeshStructure.h"
