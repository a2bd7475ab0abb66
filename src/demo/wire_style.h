// How the wire grid is drawn when the passes are smaller than the design
// size, and the choice a program makes from its GL driver's name. Full-size
// passes always draw the wires as smooth lines. No GL.
#pragma once

#include <string>
#include <string_view>

enum class WireStyle {
  // Smooth polygon-mode lines at every size: what a GPU draws fastest.
  kLines,
  // Below full size, the filled mesh with the wires computed per fragment: a
  // software rasteriser turns every smooth line into triangles on one
  // thread, but fills triangles on all of them.
  kShadedBelowFullSize,
};

// Mesa's software rasterisers, by the GL_RENDERER string: llvmpipe, softpipe
// and swrast (named "Software Rasterizer" by the older drivers).
bool isSoftwareRenderer(std::string_view glRenderer);

WireStyle wireStyleForRenderer(std::string_view glRenderer);

// "lines", "shaded"; false for anything else.
bool parseWireStyle(const std::string& text, WireStyle& style);
