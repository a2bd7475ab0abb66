// A field of 0 and 1 digits standing on the landscape's points, 65536
// camera-facing quads whose four corners share one terrain point (xyz, w the
// column) and are told apart by "tex". A sparse, flickering choice of them
// lights up, most around the present moment, tinted by the sky behind
// ("bg", Texture1). "inverse" is -1 for the mirrored half, which then gets
// its own pattern. Drawn additively; "binaryValue" is the brightness.
attribute vec4 pos;
attribute vec2 tex;

uniform mat4 world;
uniform mat4 view;
uniform mat4 proj;
uniform float time;
uniform float binaryValue;
uniform float inverse;

varying vec2 glyphUv;
varying float intensity;
varying vec4 clipPos;

#include "common.glsl"

const float presentZ = 768.0;

void main()
{
    float column = pos.w;
    float row = floor(pos.z / 12.0 + 128.3);
    vec2 cell = vec2(column + (inverse < 0.0 ? 311.0 : 0.0), row);

    float phase = hash21(cell);
    float tick = floor(time * (2.0 + 3.0 * phase) + phase * 7.0);
    float digit = step(0.5, hash21(cell + vec2(tick * 0.37, tick)));
    float shown = step(0.86, hash21(cell * 1.31 + vec2(floor(time * 0.5 + phase), 3.0)));

    float nearPresent = exp(-pow((pos.z - presentZ) / 260.0, 2.0));
    float ahead = pos.z < presentZ ? 0.35 : 0.0;
    intensity = clamp(binaryValue, 0.0, 4.0) * shown * (nearPresent + ahead);

    glyphUv = vec2((tex.x + digit) * 0.5, 1.0 - tex.y);

    vec4 centre = view * world * vec4(pos.xyz + vec3(0.0, 4.0, 0.0), 1.0);
    float size = 3.2;
    clipPos = proj * (centre + vec4((tex * 2.0 - 1.0) * size, 0.0, 0.0));
    gl_Position = clipPos;
    // Unlit digits collapse outside the clip volume and cost nothing.
    if (intensity <= 0.001)
        gl_Position = vec4(0.0, 0.0, 2.0, 1.0);
}
//FRAGMENT
uniform sampler2D Texture0;
uniform sampler2D Texture1;

void main()
{
    vec3 glyph = texture2D(Texture0, glyphUv).rgb;
    vec2 screen = clamp(clipPos.xy / clipPos.w * 0.5 + 0.5, 0.0, 1.0);
    vec3 sky = texture2D(Texture1, screen).rgb;
    vec3 tint = mix(vec3(0.25, 0.95, 0.75), clamp(sky * 6.0, 0.0, 1.0), 0.4);
    gl_FragColor = vec4(sqrt(glyph * tint * intensity), 1.0);
}
