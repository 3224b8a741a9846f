#version 120
// Fades the picture by one number:
//   fade = 0      black
//   0 < fade < 1  the picture scaled by fade (a fade from black)
//   fade = 1      the picture unchanged
//   1 < fade < 2  the picture mixed towards white by fade - 1
//   fade = 2      white
// Values outside [0, 2] are held at the nearer end.
uniform sampler2D texture;
uniform float fade;

void main()
{
    vec4 c = texture2D(texture, gl_TexCoord[0].st);
    float f = clamp(fade, 0.0, 2.0);
    vec3 rgb = f <= 1.0 ? c.rgb * f : mix(c.rgb, vec3(1.0), f - 1.0);
    gl_FragColor = vec4(rgb, 1.0);
}
