#version 120
// Two pictures over the same quad: texture1 on unit 0, texture2 on unit 1.
void main()
{
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_TexCoord[1] = gl_MultiTexCoord1;
    gl_Position = ftransform();
}
