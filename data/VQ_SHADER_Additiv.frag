#version 120
// Picture plus glow: texture1 + texture2 x mult. With mult 0 the picture passes unchanged.
//
// With a ceiling above 0 the glow instead lifts each pixel towards white by at most that share of
// the way, through a soft knee: a faint glow adds as before, a strong one can no longer erase what
// is drawn. A picture that is mostly white (the vortex) needs it, or every kick would wash its
// lines out; at 0 (never set) the addition is the plain one.
uniform sampler2D texture1;
uniform sampler2D texture2;
uniform float mult;
uniform float ceiling;

void main()
{
    vec4 base = texture2D(texture1, gl_TexCoord[0].st);
    vec3 glow = texture2D(texture2, gl_TexCoord[1].st).rgb * mult;
    if (ceiling > 0.0)
        glow = (vec3(1.0) - base.rgb) * ceiling * (vec3(1.0) - exp(-glow / ceiling));
    gl_FragColor = vec4(base.rgb + glow, base.a);
}
