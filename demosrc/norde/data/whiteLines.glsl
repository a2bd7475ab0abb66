// The landscape's wire mesh: thin frost-blue lines over the facets, lit near
// the light and brightest along the present moment, pulsing with the drum.
// Pulled slightly towards the eye so the lines win over the solid faces.
attribute vec3 pos;

uniform mat4 world;
uniform mat4 viewproj;

varying vec3 worldPos;
varying vec4 clipPos;

void main()
{
    vec4 placed = world * vec4(pos, 1.0);
    worldPos = placed.xyz;
    clipPos = viewproj * placed;
    gl_Position = clipPos;
    gl_Position.z -= 0.0004 * gl_Position.w;
}
//FRAGMENT
uniform sampler2D Texture0;
uniform vec3 eyePos;
uniform vec3 lightPos;
uniform float time;
uniform float wireAmplitude;
// How much of a drawn line a wire covers: 1 at full size, less where a
// preview asks for lines thinner than the driver draws them.
uniform float wireCoverage;
uniform float bgColor;
uniform float drumFFT;
uniform float drumMultiplier;

const float presentZ = 768.0;

void main()
{
    float dist = length(eyePos - worldPos);
    vec2 screen = clipPos.xy / clipPos.w * 0.5 + 0.5;
    vec3 sky = texture2D(Texture0, clamp(screen, 0.0, 1.0)).rgb;

    float lightNear = 1.0 / (1.0 + pow(length(lightPos - worldPos) / 900.0, 2.0));
    float nearPresent = exp(-pow((worldPos.z - presentZ) / 60.0, 2.0));
    // Kick peaks only; the bass alone keeps the low bands above zero.
    float drum = 1.5 * smoothstep(0.45, 1.5, drumFFT * drumMultiplier);
    // A slow shimmer running along the lines towards the viewer.
    float shimmer = 0.75 + 0.25 * sin(worldPos.z * 0.02 - time * 2.5 + worldPos.x * 0.01);

    vec3 colour = vec3(0.25, 0.65, 0.95) * (0.35 + 0.5 * lightNear) * shimmer;
    colour += vec3(0.8, 1.0, 1.0) * nearPresent * (0.8 + drum);
    colour += vec3(0.2, 0.5, 0.7) * drum * 0.3;
    colour += vec3(bgColor) * 0.5;

    float fog = 1.0 - exp(-dist / 2200.0);
    colour = mix(colour, sky, fog);
    float edges = smoothstep(-1536.0, -1250.0, worldPos.z) * smoothstep(1524.0, 1250.0, worldPos.z);
    float alpha = clamp(wireAmplitude, 0.0, 1.0) * edges * (1.0 - fog * 0.8) * wireCoverage;
    gl_FragColor = vec4(colour, alpha);
}
