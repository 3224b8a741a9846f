#version 120
// The grid's positions are its texture coordinates; both pass on unchanged.
void main()
{
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_Position = ftransform();
}
