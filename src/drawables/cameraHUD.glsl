// Camera HUD overlay: the HUD image (corner brackets and a centre cross)
// stretched over the viewport; blend it with alpha.
attribute vec4 pos;
varying vec2 uv;
void main() {
  uv = pos.xy * 0.5 + 0.5;
  gl_Position = pos;
}
//FRAGMENT
uniform sampler2D Texture0;
void main() {
  gl_FragColor = texture2D(Texture0, uv);
}
