#version 120
// Lit like the fixed-function pipeline's colour: the vertex colour is passed on unchanged.
void main()
{
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    gl_Position = ftransform();
}
