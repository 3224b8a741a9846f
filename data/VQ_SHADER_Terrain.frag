#version 120
// The island's ground: three detail textures blended by the material map and lit by the sun.
//
//   texture1 (unit 0): rock, "FjellText.jpg"     weight = material map red
//   texture2 (unit 1): shrub, "kratt_01_r.bmp"   weight = material map green
//   texture3 (unit 2): gravel, "grus_01_r.bmp"   weight = material map blue
//   texture4 (unit 3): the material map "MatMap4.bmp", read with texture set 1
//
// The material map's three weights sum to one. Light 0's position (0.33, -0.33, 0.33, 0) is read
// as the direction the sunlight travels: the sun stands high in the -x, -z sky. The white sky adds
// soft light from above, and distance hazes the ground towards the sky's white.
uniform sampler2D texture1;
uniform sampler2D texture2;
uniform sampler2D texture3;
uniform sampler2D texture4;

varying vec3 normal;
varying vec3 eyePos;
varying vec3 worldUp;

const vec3 kSunColour = vec3(1.0, 0.95, 0.86);
const vec3 kSkyColour = vec3(0.80, 0.86, 0.95);
const vec3 kHaze = vec3(0.97, 0.98, 1.0);

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    vec3 w = texture2D(texture4, gl_TexCoord[1].st).rgb;
    w /= max(w.r + w.g + w.b, 0.001);

    // Each detail texture also at a coarser scale, so its repeats do not line up into a grid.
    vec3 rock = mix(texture2D(texture1, uv).rgb, texture2D(texture1, uv * 0.29).rgb, 0.45);
    vec3 shrub = mix(texture2D(texture2, uv).rgb, texture2D(texture2, uv * 0.23).rgb, 0.4);
    vec3 gravel = texture2D(texture3, uv * 1.7).rgb;
    vec3 albedo = rock * w.r + shrub * w.g + gravel * w.b;

    vec3 n = normalize(normal);
    vec3 up = normalize(worldUp);
    vec3 sun = normalize(-gl_LightSource[0].position.xyz);
    float diffuse = max(dot(n, sun), 0.0);
    float sky = 0.6 + 0.4 * dot(n, up);
    vec3 light = kSkyColour * sky * 0.55 + kSunColour * gl_LightSource[0].diffuse.rgb * diffuse * 0.85;
    vec3 colour = albedo * light;

    float dist = length(eyePos);
    // The sea's aerial haze, lighter: the forest standing on the ground is not hazed.
    float haze = 0.55 * smoothstep(90.0, 330.0, dist);
    gl_FragColor = vec4(mix(colour, kHaze, haze), 1.0);
}
