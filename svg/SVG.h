// The SVG library: include this one header. SVGReader reads a file (shapes, paths, text, styles
// and style sheets, transforms, gradients, clip paths, use and markers) into paint entries for
// the render library, flipped so that y runs up; svgFileLocation resolves a file name the way
// compositions name files.
#pragma once

#include "svg/SVGReader.h"
