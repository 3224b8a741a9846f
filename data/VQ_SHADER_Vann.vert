#version 120
// The sea. The flat mesh (y = 8) carries the four height layers in its vertex colour (red = layer
// 0 ... alpha = layer 3, heights 0 to 10.5); the surface is lifted by the current layer "hmap"
// cross-faded into the next one by "interpc", around the layers' mean so the water line stays
// at y = 8.
uniform int hmap;
uniform float interpc;

varying vec3 worldPos;

const float kMeanHeight = 5.25;
const float kWaveScale = 0.6;

void main()
{
    int next = hmap == 3 ? 0 : hmap + 1;
    vec4 current = vec4(equal(ivec4(hmap), ivec4(0, 1, 2, 3)));
    vec4 following = vec4(equal(ivec4(next), ivec4(0, 1, 2, 3)));
    float h = mix(dot(gl_Color, current), dot(gl_Color, following), interpc);

    vec4 p = gl_Vertex;
    p.y += (h - kMeanHeight) * kWaveScale;
    worldPos = p.xyz;
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_Position = gl_ModelViewProjectionMatrix * p;
}
