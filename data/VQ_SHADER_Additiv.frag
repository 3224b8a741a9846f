#version 120
// Picture plus glow: texture1 + texture2 x mult. With mult 0 the picture passes unchanged.
uniform sampler2D texture1;
uniform sampler2D texture2;
uniform float mult;

void main()
{
    vec4 base = texture2D(texture1, gl_TexCoord[0].st);
    vec4 glow = texture2D(texture2, gl_TexCoord[1].st);
    gl_FragColor = vec4(base.rgb + glow.rgb * mult, base.a);
}
