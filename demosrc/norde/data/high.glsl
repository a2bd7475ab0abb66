// Glowing beads rising from the bands that are changing at the present
// moment: fifteen camera-facing dots ("dot.png", Texture0) climb along each
// peak's normal, shrinking as their strength (pos.w) falls. Dots weaker than
// "highThreshold" stay dark; "highValue" is the brightness. Drawn additively.
attribute vec4 pos;
attribute vec2 tex;

uniform mat4 world;
uniform mat4 view;
uniform mat4 proj;
uniform float time;
uniform float highValue;
uniform float highThreshold;

varying vec2 spriteUv;
varying vec3 glow;

void main()
{
    float strength = pos.w;
    float above = strength - highThreshold;
    float size = clamp(2.0 + strength * 30.0, 2.0, 14.0);
    float brightness = clamp(highValue, 0.0, 4.0) * smoothstep(0.0, max(highThreshold, 0.01) * 0.5, above);
    float pulse = 0.8 + 0.2 * sin(time * 9.0 + pos.x * 0.05 + pos.y * 0.1);
    glow = mix(vec3(0.1, 0.75, 0.9), vec3(0.9, 0.6, 1.0), clamp(strength * 2.0, 0.0, 1.0)) * brightness * pulse;
    spriteUv = tex;

    vec4 centre = view * world * vec4(pos.xyz, 1.0);
    gl_Position = proj * (centre + vec4((tex * 2.0 - 1.0) * size, 0.0, 0.0));
    if (brightness <= 0.001)
        gl_Position = vec4(0.0, 0.0, 2.0, 1.0);
}
//FRAGMENT
uniform sampler2D Texture0;

void main()
{
    vec3 sprite = texture2D(Texture0, spriteUv).rgb;
    gl_FragColor = vec4(sqrt(sprite * glow), 1.0);
}
