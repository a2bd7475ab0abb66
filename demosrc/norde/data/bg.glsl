// The sky behind everything: a deep blue night gradient, twinkling stars and
// slowly drifting aurora curtains. Drawn full-screen into the "bg" target.
attribute vec4 pos;
varying vec2 uv;

void main()
{
    uv = pos.xy * 0.5 + 0.5;
    gl_Position = pos;
}
//FRAGMENT
uniform float time;
uniform float ratio;

#include "common.glsl"

const float horizon = 0.36;

vec3 skyGradient(float y)
{
    float up = clamp((y - horizon) / (1.0 - horizon), 0.0, 1.0);
    vec3 sky = mix(nightHorizon(), nightZenith(), pow(up, 0.55));
    float down = clamp((horizon - y) / horizon, 0.0, 1.0);
    vec3 ground = mix(nightHorizon(), nightGround(), pow(down, 0.4));
    return y > horizon ? sky : ground;
}

vec3 stars(vec2 p, float y)
{
    vec3 sum = vec3(0.0);
    // Two layers of cells: many faint stars and a few bright ones.
    for (int layer = 0; layer < 2; layer++)
    {
        float scale = layer == 0 ? 150.0 : 60.0;
        vec2 cellPos = p * scale;
        vec2 cell = floor(cellPos);
        float h = hash21(cell + float(layer) * 71.3);
        float threshold = layer == 0 ? 0.955 : 0.985;
        if (h > threshold)
        {
            vec2 centre = cell + 0.25 + 0.5 * hash22(cell + 3.7);
            float d = length(cellPos - centre);
            float twinkle = 0.65 + 0.35 * sin(time * (1.5 + 4.0 * h) + h * 80.0);
            float sharpness = layer == 0 ? 70.0 : 30.0;
            float brightness = (h - threshold) / (1.0 - threshold);
            vec3 tint = mix(vec3(0.7, 0.85, 1.0), vec3(1.0, 0.95, 0.85), hash11(h * 91.0));
            sum += exp(-d * d * sharpness) * twinkle * (0.15 + 0.85 * brightness) * tint;
        }
    }
    return sum * smoothstep(horizon, horizon + 0.25, y);
}

vec3 aurora(vec2 p, float y)
{
    vec3 sum = vec3(0.0);
    for (int i = 0; i < 3; i++)
    {
        float fi = float(i);
        float drift = time * (0.018 + 0.01 * fi);
        // The curtain's lower edge wanders and folds across the sky.
        float warp = fbm(vec2(p.x * (0.8 + 0.3 * fi) + drift + fi * 5.3, fi * 3.1 + time * 0.02));
        float base = 0.56 + 0.11 * fi + 0.16 * (warp - 0.5);
        float above = y - base;
        float height = 0.16 + 0.1 * fi;
        float edge = smoothstep(-0.012, 0.006, above);
        float curtain = edge * (exp(-max(above, 0.0) / height) + 0.8 * exp(-max(above, 0.0) / 0.015));
        // Vertical rays that slide along the fold.
        float x = p.x + warp * 0.35;
        float rays = valueNoise(vec2(x * (38.0 + 11.0 * fi) + time * (0.3 + 0.1 * fi) + fi * 13.0, above * 0.7));
        rays = 0.2 + 1.3 * rays * rays * rays;
        float fold = 0.5 + 0.5 * sin(x * (4.0 + fi) + time * 0.13 + warp * 5.0);
        // Some stretches of the curtain burn brighter than others.
        float patch = smoothstep(0.25, 0.75, valueNoise(vec2(x * 1.4 + time * 0.012 + fi * 2.3, 7.0 + fi)));
        fold *= 0.2 + 0.8 * patch;
        vec3 colour = mix(auroraGreen(), auroraTeal(), fi * 0.45);
        colour = mix(colour, auroraViolet(), smoothstep(0.03, height * 1.7, above));
        sum += colour * curtain * rays * (0.15 + 0.85 * fold) * (0.7 - 0.15 * fi);
    }
    return sum * smoothstep(horizon - 0.02, horizon + 0.12, y);
}

void main()
{
    vec2 p = vec2((uv.x - 0.5) * ratio, uv.y);
    vec3 colour = skyGradient(uv.y);
    colour += stars(p, uv.y);
    colour += aurora(p, uv.y) * 0.55;
    // A faint glow low over the horizon, as from a town far away.
    colour += vec3(0.010, 0.028, 0.040) * exp(-abs(uv.y - horizon) * 22.0);
    gl_FragColor = vec4(colour, 1.0);
}
