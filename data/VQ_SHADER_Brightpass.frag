#version 120
// Keeps what is bright with respect to "brightpass" and darkens the rest to black.
// The knee starts at 0.6 x brightpass in luminance and reaches full strength at white, with a
// smooth step in between: brightpass 1.0 keeps only highlights above about 0.6, brightpass 0.5
// keeps everything above about 0.3. The kept part keeps its colour.
uniform sampler2D fullscreen;
uniform float brightpass;

void main()
{
    vec4 c = texture2D(fullscreen, gl_TexCoord[0].st);
    float luma = dot(c.rgb, vec3(0.299, 0.587, 0.114));
    float knee = clamp(brightpass * 0.6, 0.0, 0.95);
    float keep = smoothstep(knee, 1.0, luma);
    gl_FragColor = vec4(c.rgb * keep, 1.0);
}
