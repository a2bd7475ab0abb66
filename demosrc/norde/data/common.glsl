#NOCOMPILE
// Shared helpers for the production's shaders: hashes, value noise, fbm and
// the colours of the northern night. Injected into other shaders by their
// include line; never compiled on its own.

float hash11(float p)
{
    p = fract(p * 0.1031);
    p *= p + 33.33;
    p *= p + p;
    return fract(p);
}

float hash21(vec2 p)
{
    vec3 p3 = fract(vec3(p.xyx) * 0.1031);
    p3 += dot(p3, p3.yzx + 33.33);
    return fract((p3.x + p3.y) * p3.z);
}

vec2 hash22(vec2 p)
{
    vec3 p3 = fract(vec3(p.xyx) * vec3(0.1031, 0.1030, 0.0973));
    p3 += dot(p3, p3.yzx + 33.33);
    return fract((p3.xx + p3.yz) * p3.zy);
}

float valueNoise(vec2 p)
{
    vec2 i = floor(p);
    vec2 f = fract(p);
    vec2 u = f * f * (3.0 - 2.0 * f);
    float a = hash21(i);
    float b = hash21(i + vec2(1.0, 0.0));
    float c = hash21(i + vec2(0.0, 1.0));
    float d = hash21(i + vec2(1.0, 1.0));
    return mix(mix(a, b, u.x), mix(c, d, u.x), u.y);
}

float fbm(vec2 p)
{
    float sum = 0.0;
    float amplitude = 0.5;
    for (int i = 0; i < 4; i++)
    {
        sum += amplitude * valueNoise(p);
        p = p * 2.03 + vec2(17.1, 9.7);
        amplitude *= 0.5;
    }
    return sum;
}

// Night palette, linear light.
vec3 nightZenith()  { return vec3(0.002, 0.003, 0.016); }
vec3 nightHorizon() { return vec3(0.008, 0.030, 0.055); }
vec3 nightGround()  { return vec3(0.002, 0.005, 0.012); }
vec3 auroraGreen()  { return vec3(0.080, 0.950, 0.550); }
vec3 auroraTeal()   { return vec3(0.050, 0.600, 0.800); }
vec3 auroraViolet() { return vec3(0.450, 0.150, 0.750); }
vec3 iceWhite()     { return vec3(0.750, 0.920, 1.000); }

float luminance(vec3 c)
{
    return dot(c, vec3(0.2126, 0.7152, 0.0722));
}
