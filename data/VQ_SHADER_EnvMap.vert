#version 120
// Passes the surface normal and position in eye space on to the reflection.
varying vec3 normal;
varying vec3 eyePos;

void main()
{
    normal = gl_NormalMatrix * gl_Normal;
    eyePos = (gl_ModelViewMatrix * gl_Vertex).xyz;
    gl_Position = ftransform();
}
