// The texture steps shared by Texture and RenderTarget2D: mipmaps, sampler
// uniform "Texture<unit>", texture, filters and wrap on that unit, and the
// texel-size uniform "texel<unit>". Units 0..8 only.
#pragma once

#include <utility>

#include "gpu/gl.h"

constexpr int kMaxTextureUnit = 8;

// (1 / width, 1 / height), each computed in double precision and rounded.
std::pair<float, float> texelSizeOf(double width, double height);

// Binds texture on the unit for the current program and publishes its texel
// size. A unit outside 0..kMaxTextureUnit is refused with a log line. True
// when the texture was bound (the program samples the unit): it is then the
// 2D texture of the active unit.
bool bindTextureToUnit(GLuint texture, double width, double height, int unit, int minFilter,
                       int magFilter, int wrap);

// Builds the mipmap chain of the 2D texture bound on the active unit.
void generateMipmaps();

// Whether a minifying filter reads the mipmap chain.
bool usesMipmaps(int minFilter);
