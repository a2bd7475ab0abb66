// The final image: the scene (Texture0, "backbuffer") with its bloom
// (Texture1, "gaussB"), a slight lens fringe, filmic tone mapping, a cold
// grade, vignette and grain, then the white flash and the fade.
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
uniform float time;
uniform float fade;
uniform float white;

// Filmic curve (Narkowicz's fit of the ACES reference transform).
vec3 filmic(vec3 x)
{
    return clamp((x * (2.51 * x + 0.03)) / (x * (2.43 * x + 0.59) + 0.14), 0.0, 1.0);
}

void main()
{
    vec2 centred = uv - 0.5;
    float edge = dot(centred, centred);

    // Lens fringe: red and blue sampled a little apart towards the corners.
    vec2 shift = centred * edge * 0.012;
    vec3 scene;
    scene.r = texture2D(Texture0, uv - shift).r;
    scene.g = texture2D(Texture0, uv).g;
    scene.b = texture2D(Texture0, uv + shift).b;

    vec3 bloom = texture2D(Texture1, uv).rgb;
    vec3 colour = scene + bloom * 0.6 + bloom * bloom * 0.25;

    colour = filmic(colour * 1.15);

    // Cold grade: shadows lean to blue-teal, highlights stay clean.
    float light = dot(colour, vec3(0.2126, 0.7152, 0.0722));
    colour = mix(colour, colour * vec3(0.82, 0.97, 1.12), 1.0 - smoothstep(0.0, 0.6, light));

    // To the display's gamma, with the blacks lifted to a faint night blue.
    colour = pow(max(colour, vec3(0.0)), vec3(1.0 / 2.2));
    colour += vec3(0.000, 0.010, 0.022) * (1.0 - light);

    float vignette = 1.0 - smoothstep(0.12, 0.62, edge * 1.6);
    colour *= mix(0.45, 1.0, vignette);

    float grain = fract(sin(dot(uv * vec2(1931.0, 1087.0) + fract(time * 7.13) * 91.0, vec2(12.9898, 78.233))) * 43758.5453);
    colour += (grain - 0.5) * 0.025;

    colour = mix(colour, vec3(1.0), clamp(white, 0.0, 1.0));
    colour *= fade;
    gl_FragColor = vec4(clamp(colour, 0.0, 1.0), 1.0);
}
