// The solid spectrum landscape: flat-shaded ice facets lit by the light,
// reflecting the sky at grazing angles, with ridges and the present moment's
// changing bands glowing. Fades into the sky ("bg", Texture0) with distance.
// The peak texture (Texture2) holds, per column, how strongly the band at the
// present row is changing.
attribute vec3 pos;
attribute vec3 normal;

uniform mat4 world;
uniform mat4 viewproj;
uniform float shapeValue;

varying vec3 worldPos;
varying vec3 faceNormal;
varying vec4 clipPos;
varying float height;
varying float column;

const float tunnelRadius = 247.46153;

void main()
{
    vec4 placed = world * vec4(pos, 1.0);
    worldPos = placed.xyz;
    // The grid's face normals point away from the open side; turn them out.
    faceNormal = (world * vec4(-normal, 0.0)).xyz;

    float bend = clamp(shapeValue, 0.0, 1.0);
    height = mix(pos.y, tunnelRadius - length(pos.xy), bend);
    // Column of the spectrum: along x when flat, by angle round the tunnel.
    float bentColumn = 256.0 - atan(abs(pos.x), pos.y) * (256.0 / 3.14159265);
    column = mix(pos.x * 0.25, bentColumn, bend);

    clipPos = viewproj * placed;
    gl_Position = clipPos;
}
//FRAGMENT
uniform sampler2D Texture0;
uniform sampler1D Texture2;
uniform vec3 eyePos;
uniform vec3 lightPos;
uniform float time;
uniform float gridAmplitude;
uniform float bgColor;
uniform float spectrumMultiplier;
uniform float drumFFT;
uniform float drumMultiplier;
uniform float shapeValue;

const float presentZ = 768.0;
const float tunnelRadiusF = 247.46153;

void main()
{
    vec3 n = normalize(faceNormal);
    vec3 toEye = eyePos - worldPos;
    float dist = length(toEye);
    vec3 v = toEye / max(dist, 0.001);
    if (dot(n, v) < 0.0)
        n = -n;

    vec3 l = normalize(lightPos - worldPos);
    float diffuse = max(dot(n, l), 0.0);
    vec3 halfway = normalize(l + v);
    float specular = pow(max(dot(n, halfway), 0.0), 40.0);
    float fresnel = pow(1.0 - max(dot(n, v), 0.0), 4.0);

    vec2 screen = clipPos.xy / clipPos.w * 0.5 + 0.5;
    vec3 sky = texture2D(Texture0, clamp(screen, 0.0, 1.0)).rgb;
    vec2 mirrored = vec2(screen.x + n.x * 0.05, 1.0 - screen.y * 0.5 + n.z * 0.05);
    vec3 reflected = texture2D(Texture0, clamp(mirrored, 0.0, 1.0)).rgb;

    float h = clamp(height / 260.0, 0.0, 1.0);
    vec3 deep = vec3(0.006, 0.020, 0.045);
    vec3 glacier = vec3(0.020, 0.160, 0.240);
    vec3 frost = vec3(0.260, 0.560, 0.760);
    vec3 base = mix(deep, glacier, smoothstep(0.0, 0.45, h));
    base = mix(base, frost, smoothstep(0.45, 1.0, h));
    base += vec3(bgColor) * vec3(0.6, 0.8, 1.0);

    // The low bands carry the bass as well as the kick: only the kick's
    // peaks above the bass's level light the land up.
    // drumFFT is a fifth of the sum of 25 heights; bending moves each of
    // them down by the tube's radius, so 5 radii are added back and the kick
    // still reads inside the tube.
    float drumLevel = drumFFT + 5.0 * tunnelRadiusF * clamp(shapeValue, 0.0, 1.0);
    float drum = 1.0 + 1.2 * smoothstep(0.45, 1.5, drumLevel * drumMultiplier);
    float peak = texture1D(Texture2, (column + 0.5) / 256.0).r;
    float peakGlow = 1.0 - exp(-max(peak, 0.0) * 0.6);
    float nearPresent = exp(-pow((worldPos.z - presentZ) / 28.0, 2.0));
    // The future is seen faintly, the past fades as it recedes.
    float pastFade = worldPos.z > presentZ ? exp(-(worldPos.z - presentZ) / 500.0) : 1.0;

    vec3 colour = base * (0.14 + 0.75 * diffuse);
    colour += vec3(0.7, 0.9, 1.0) * specular * 0.6;
    colour += reflected * fresnel * 0.7;
    vec3 glow = mix(vec3(0.05, 0.7, 0.8), vec3(0.8, 1.0, 1.0), h);
    // Only the ridges glow, so the land keeps its shape between them.
    float ridge = smoothstep(0.45, 1.0, h);
        // The present row's changing bands glow from their crests down.
    float presentGlow = nearPresent * peakGlow * 1.4 * smoothstep(0.1, 0.9, h);
    colour += glow * (ridge * ridge * 0.6 + presentGlow) * spectrumMultiplier * drum;
    colour *= mix(0.55, 1.0, pastFade);

    float fog = 1.0 - exp(-dist / 2600.0);
    colour = mix(colour, sky, clamp(fog * 0.9, 0.0, 1.0));

    float edges = smoothstep(-1536.0, -1250.0, worldPos.z) * smoothstep(1524.0, 1250.0, worldPos.z);
    float alpha = clamp(gridAmplitude, 0.0, 1.0) * edges;
    gl_FragColor = vec4(colour, alpha);
}
