// Thick lines in screen space: every segment p1 -> p2 is a quad whose four
// corners carry the segment with its neighbours p0 and p3; "tc" picks the
// end (x) and the side (y). Ends are mitred with the neighbouring segments
// so a polyline bends without gaps. The width is in pixels of the 1080-line
// target ("lineWidth" 1 = a 14 pixel wide stroke for the present line: a
// bright core of about 4 pixels inside a soft glow).
// "lineColor" also tells the line's age: (1,1,1,1) is the present
// spectrum, larger values older echoes, drawn fainter and bluer.
attribute vec3 p0;
attribute vec3 p1;
attribute vec3 p2;
attribute vec3 p3;
attribute vec2 tc;

uniform mat4 world;
uniform mat4 viewproj;
uniform mat4 proj;
uniform float lineWidth;
uniform vec4 lineColor;

varying float across;
varying float age;

const float targetHeight = 1080.0;

vec4 toClip(vec3 p)
{
    vec4 clip = viewproj * world * vec4(p, 1.0);
    clip.w = max(clip.w, 0.001);
    return clip;
}

vec2 toScreen(vec4 clip, float aspect)
{
    vec2 ndc = clip.xy / clip.w;
    return vec2(ndc.x * aspect, ndc.y);
}

vec2 perpendicular(vec2 d)
{
    return vec2(-d.y, d.x);
}

vec2 safeNormalize(vec2 v, vec2 fallback)
{
    float len = length(v);
    return len > 1e-6 ? v / len : fallback;
}

void main()
{
    // Width over height of the projection, so offsets are round on screen.
    float aspect = abs(proj[0][0]) > 1e-6 ? abs(proj[1][1] / proj[0][0]) : 1.0;

    vec4 c0 = toClip(p0);
    vec4 c1 = toClip(p1);
    vec4 c2 = toClip(p2);
    vec4 c3 = toClip(p3);
    vec2 s0 = toScreen(c0, aspect);
    vec2 s1 = toScreen(c1, aspect);
    vec2 s2 = toScreen(c2, aspect);
    vec2 s3 = toScreen(c3, aspect);

    vec2 segment = safeNormalize(s2 - s1, vec2(1.0, 0.0));
    vec2 before = safeNormalize(s1 - s0, segment);
    vec2 after = safeNormalize(s3 - s2, segment);

    bool atEnd = tc.x > 0.5;
    vec2 neighbour = atEnd ? after : before;
    vec2 tangent = safeNormalize(segment + neighbour, segment);
    vec2 miter = perpendicular(tangent);
    float stretch = 1.0 / max(dot(miter, perpendicular(segment)), 0.35);

    age = max(lineColor.a, 1.0);
    float pixels = lineWidth * (3.0 + 4.0 / age);
    float side = tc.y * 2.0 - 1.0;
    across = side;

    vec4 clip = atEnd ? c2 : c1;
    vec2 offset = miter * side * stretch * pixels * (2.0 / targetHeight);
    clip.xy += vec2(offset.x / aspect, offset.y) * clip.w;
    gl_Position = clip;
}
//FRAGMENT
uniform vec4 lineColor;

void main()
{
    // A bright core and a soft glow fading to the quad's sides.
    float d = abs(across);
    float core = smoothstep(0.45, 0.2, d);
    float halo = exp(-d * d * 5.0) * 0.45;
    float fadeWithAge = exp(-(age - 1.0) * 0.45);
    vec3 fresh = vec3(0.85, 1.0, 1.0);
    vec3 old = vec3(0.15, 0.45, 0.95);
    vec3 colour = mix(fresh, old, clamp((age - 1.0) / 5.0, 0.0, 1.0)) * (1.6 * core + halo);
    float alpha = clamp(core + halo, 0.0, 1.0) * fadeWithAge;
    gl_FragColor = vec4(colour, alpha);
}
