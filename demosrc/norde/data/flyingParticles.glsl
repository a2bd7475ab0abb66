// Snow drifting over the landscape: 2000 soft sprites ("pointRenderer.png",
// Texture0) carried along the spectrum's flow and slowly falling, each
// flaring when the band under it is changing (peak texture, Texture2).
// "amplifier" scales their size and opacity; at 0 they vanish.
attribute vec4 pos;
attribute vec2 tex;

uniform mat4 world;
uniform mat4 view;
uniform mat4 proj;
uniform float time;
uniform float amplifier;
uniform sampler1D Texture2;

varying vec2 spriteUv;
varying float opacity;
varying vec3 tint;

#include "common.glsl"

const vec3 boxMin = vec3(-1020.0, 0.0, -1536.0);
const vec3 boxSize = vec3(2040.0, 480.0, 3060.0);

void main()
{
    float index = pos.z;
    vec3 seed = vec3(hash11(index * 1.37 + 0.5), hash11(index * 2.71 + 7.0), hash11(index * 0.61 + 13.0));
    float sizeSeed = hash11(index * 5.13 + 29.0);

    vec3 p = boxMin + seed * boxSize;
    p.z = boxMin.z + mod(p.z - boxMin.z + time * (40.0 + 50.0 * sizeSeed), boxSize.z);
    p.y = mod(p.y - time * (6.0 + 10.0 * seed.x), boxSize.y);
    p.x += sin(time * 0.31 + seed.z * 6.2831) * 35.0;

    float column = clamp(abs(p.x) * 0.25, 0.0, 255.0);
    float peak = texture1D(Texture2, (column + 0.5) / 256.0).r;
    float flare = 1.0 - exp(-max(peak, 0.0) * 0.5);

    float strength = clamp(amplifier, 0.0, 4.0);
    float size = (1.5 + 3.5 * sizeSeed + 9.0 * flare) * strength;

    // Fade in and out at the ends of the box so nothing pops.
    float zFade = smoothstep(0.0, 300.0, p.z - boxMin.z) * smoothstep(0.0, 300.0, boxMin.z + boxSize.z - p.z);
    float yFade = smoothstep(0.0, 60.0, p.y) * smoothstep(0.0, 60.0, boxSize.y - p.y);
    opacity = clamp(strength, 0.0, 1.0) * zFade * yFade * (0.35 + 0.65 * flare);
    tint = mix(vec3(0.65, 0.85, 1.0), vec3(0.7, 1.0, 0.85), flare);
    spriteUv = tex;

    vec4 centre = view * world * vec4(p, 1.0);
    gl_Position = proj * (centre + vec4((tex * 2.0 - 1.0) * size, 0.0, 0.0));
}
//FRAGMENT
uniform sampler2D Texture0;

void main()
{
    float sprite = texture2D(Texture0, spriteUv).a;
    gl_FragColor = vec4(tint * (1.0 + sprite), sprite * opacity);
}
