// Copies Texture0 to the whole viewport.
attribute vec4 pos;
varying vec2 uv;

void main()
{
    uv = pos.xy * 0.5 + 0.5;
    gl_Position = pos;
}
//FRAGMENT
uniform sampler2D Texture0;

void main()
{
    gl_FragColor = vec4(texture2D(Texture0, uv).rgb, 1.0);
}
