// The render library: include this one header. A structure of paint entries (PaintEntry.h: a
// path and how to fill, stroke and shadow it) is drawn with Cairo into an 8-bit RGBA image by
// renderBezierPathStructure (Renderer.h).
#pragma once

#include "render/PaintEntry.h"
#include "render/Renderer.h"
