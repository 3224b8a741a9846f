#version 120
// Cut-out texturing: texels whose colour is near black (the background of the leaf texture) are
// dropped; the rest are drawn modulated by the vertex colour, as fixed-function texturing would.
uniform sampler2D texture;

const float kNearBlack = 0.08; // brightest component below this counts as background

void main()
{
    vec4 c = texture2D(texture, gl_TexCoord[0].st);
    if (max(c.r, max(c.g, c.b)) < kNearBlack)
        discard;
    gl_FragColor = vec4(c.rgb * gl_Color.rgb, gl_Color.a);
}
