#version 120
// The island's ground. Texture set 0 tiles the detail textures, set 1 spans the material map once
// over the island. Lighting and haze are worked out per fragment in eye space.
varying vec3 normal;
varying vec3 eyePos;
varying vec3 worldUp;

void main()
{
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_TexCoord[1] = gl_MultiTexCoord1;
    normal = gl_NormalMatrix * gl_Normal;
    eyePos = (gl_ModelViewMatrix * gl_Vertex).xyz;
    // The world's y axis as the camera sees it (the terrain is drawn with the camera's matrix only).
    worldUp = gl_NormalMatrix * vec3(0.0, 1.0, 0.0);
    gl_Position = ftransform();
}
