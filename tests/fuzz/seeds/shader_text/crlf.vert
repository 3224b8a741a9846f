#version 120
void main()
{
    gl_Position = ftransform();
}
