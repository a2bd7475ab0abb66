attribute vec4 pos;
void main() { gl_Position = pos; }
//FRAGMENT
void main() { gl_FragColor = vec4(1.0); }
