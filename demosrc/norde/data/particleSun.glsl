// The cold moon at the light position, built from ten camera-facing quads
// (drawn additively): quad 0 the bright disc, 1 its halo, 2 a wide glow,
// 3 to 6 slowly turning rays, 7 to 9 the thin ice-crystal rings that frame a
// moon on a freezing night. Sizes follow the distance, so the moon keeps its
// size on screen.
attribute vec4 pos;
attribute vec2 tex;

uniform mat4 world;
uniform mat4 view;
uniform mat4 proj;
uniform vec3 dynLightPos;
uniform float sunMultiplier;
uniform float time;

varying vec2 corner;
varying float part;

void main()
{
    part = pos.z;
    corner = tex * 2.0 - 1.0;
    vec4 centre = view * world * vec4(dynLightPos, 1.0);
    float range = max(-centre.z, 1.0);

    vec2 extent;
    float angle = 0.0;
    if (part < 0.5)
        extent = vec2(0.035);
    else if (part < 1.5)
        extent = vec2(0.11);
    else if (part < 2.5)
        extent = vec2(0.45);
    else if (part < 6.5)
    {
        extent = vec2(0.55, 0.006);
        angle = part * 0.785398 + time * (part < 4.5 ? 0.03 : -0.02);
    }
    else
        extent = vec2(0.26 + (part - 7.0) * 0.09);

    vec2 offset = (tex * 2.0 - 1.0) * extent;
    offset = vec2(cos(angle) * offset.x - sin(angle) * offset.y,
                  sin(angle) * offset.x + cos(angle) * offset.y);
    // Nothing to draw: collapse the quad so it costs no fill.
    if (sunMultiplier <= 0.0)
        offset = vec2(0.0);
    gl_Position = proj * (centre + vec4(offset * range, 0.0, 0.0));
}
//FRAGMENT
uniform float sunMultiplier;
uniform float time;

void main()
{
    float r = length(corner);
    vec3 colour;
    if (part < 0.5)
    {
        float disc = smoothstep(0.62, 0.55, r);
        float limb = exp(-r * r * 3.0);
        colour = vec3(0.85, 0.95, 1.0) * (disc * (2.5 + 0.6 * limb) + exp(-r * r * 9.0));
    }
    else if (part < 1.5)
        colour = vec3(0.45, 0.75, 1.0) * exp(-r * r * 6.0) * 1.2;
    else if (part < 2.5)
        colour = vec3(0.05, 0.18, 0.30) * exp(-r * r * 5.0) * 0.9;
    else if (part < 6.5)
    {
        float along = 1.0 - abs(corner.x);
        float across = exp(-corner.y * corner.y * 4.0);
        colour = vec3(0.5, 0.8, 1.0) * along * along * across * 0.35;
    }
    else
    {
        // A thin ring with a faint spectral edge, like a 22 degree halo.
        float ring = exp(-pow((r - 0.9) / 0.035, 2.0));
        float flicker = 0.85 + 0.15 * sin(time * 0.7 + part);
        colour = mix(vec3(0.6, 0.4, 0.9), vec3(0.4, 0.9, 1.0), smoothstep(0.86, 0.94, r)) * ring * 0.18 * flicker;
    }
    colour *= max(sunMultiplier, 0.0);
    // Additive blending squares the colour; hand it the square root.
    gl_FragColor = vec4(sqrt(max(colour, vec3(0.0))), 1.0);
}
