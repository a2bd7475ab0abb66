// One direction of the separable Gaussian blur: 25 taps of Texture0 spaced
// by texelSize, weighted by the kernel. A touch of animated noise breaks up
// banding in the wide, dark gradients.
attribute vec4 pos;
varying vec2 uv;

void main()
{
    uv = pos.xy * 0.5 + 0.5;
    gl_Position = pos;
}
//FRAGMENT
uniform sampler2D Texture0;
uniform float weights[25];
uniform int taps;
uniform vec2 texelSize;
uniform float time;

void main()
{
    vec3 sum = vec3(0.0);
    for (int j = 0; j < 25; j++)
    {
        if (j >= taps)
            break;
        vec2 offset = float(j - 12) * texelSize;
        sum += texture2D(Texture0, uv + offset).rgb * weights[j];
    }
    float noise = fract(sin(dot(uv * 1000.0 + fract(time) * 37.0, vec2(12.9898, 78.233))) * 43758.5453);
    sum += (noise - 0.5) * 0.002;
    gl_FragColor = vec4(max(sum, vec3(0.0)), 1.0);
}
