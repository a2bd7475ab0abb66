// The numbered overlay images over the finished picture, drawn with additive
// blending (source colour times itself, plus what is there): image A
// (Texture0) at transparencyA, image B (Texture1) at transparencyB. While an
// image fades in, its rows shimmer sideways like the aurora.
attribute vec4 pos;
varying vec2 uv;

void main()
{
    uv = pos.xy * 0.5 + 0.5;
    gl_Position = pos;
}
//FRAGMENT
uniform sampler2D Texture0;
uniform sampler2D Texture1;
uniform float transparencyA;
uniform float transparencyB;
uniform float time;

vec3 shimmering(sampler2D image, float amount)
{
    float unsettled = 1.0 - clamp(amount, 0.0, 1.0);
    float wave = sin(uv.y * 90.0 + time * 7.0) * sin(uv.y * 23.0 - time * 3.0);
    vec2 at = vec2(uv.x + wave * 0.012 * unsettled, 1.0 - uv.y);
    return texture2D(image, at).rgb;
}

void main()
{
    float a = clamp(transparencyA, 0.0, 1.0);
    float b = clamp(transparencyB, 0.0, 1.0);
    vec3 added = shimmering(Texture0, a) * a + shimmering(Texture1, b) * b;
    // The blend squares the colour, so the square root adds "added" itself.
    gl_FragColor = vec4(sqrt(max(added, vec3(0.0))), 1.0);
}
