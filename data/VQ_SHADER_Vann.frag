#version 120
// The sea's surface: the current and next layers' normal maps ("texture1", "texture2") blended by
// "interpc", the sky cube map ("envmap") reflected with a Fresnel term over a deep sea colour, and
// a sun glitter from light 0. Everything is worked out in world space (the sea is drawn with the
// camera's matrix only), so the reflections stay put as the camera moves. Far water hazes into
// the white sky.
uniform sampler2D texture1;
uniform sampler2D texture2;
uniform samplerCube envmap;
uniform float interpc;

varying vec3 worldPos;

const vec3 kDeep = vec3(0.01, 0.10, 0.19);
const vec3 kShallow = vec3(0.04, 0.27, 0.33);
const vec3 kHaze = vec3(0.97, 0.98, 1.0);
const float kRipple = 3.0;   // normal-map repeats over the mesh's texture span
const float kDetail = 11.0;  // a finer second set of ripples
const float kBump = 0.18;    // how far the ripples tilt the surface

// The layers' normal maps do not wrap, so repeats are mirrored: every other repeat is read back
// to front, which keeps the ripples continuous across the repeat borders. A mirrored read turns
// the slope along that axis round, so that component of the normal changes sign.
vec3 rippleNormal(vec2 uv)
{
    vec2 m = mod(uv, 2.0);
    vec2 back = step(1.0, m);
    vec2 st = mix(m, 2.0 - m, back);
    vec3 a = texture2D(texture1, st).rgb * 2.0 - 1.0;
    vec3 b = texture2D(texture2, st).rgb * 2.0 - 1.0;
    vec3 n = mix(a, b, interpc);
    return vec3(n.x * (1.0 - 2.0 * back.x), n.y, n.z * (1.0 - 2.0 * back.y));
}

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    vec3 r = rippleNormal(uv * kRipple) + 0.4 * rippleNormal(uv * kDetail + vec2(0.37, 0.61));
    vec3 n = normalize(vec3(r.x * kBump, r.y, r.z * kBump));

    vec3 eye = (gl_ModelViewMatrixInverse * vec4(0.0, 0.0, 0.0, 1.0)).xyz;
    vec3 toSurface = worldPos - eye;
    float dist = length(toSurface);
    vec3 v = toSurface / dist;

    vec3 refl = reflect(v, n);
    refl.y = max(refl.y, 0.02); // ripples never show the sky below the horizon
    vec3 sky = textureCube(envmap, refl).rgb;

    float cosi = clamp(dot(-v, n), 0.0, 1.0);
    float fresnel = 0.02 + 0.98 * pow(1.0 - cosi, 5.0);
    // Looking straight down the water is deep and dark; wave flanks seen at a slant let some light
    // through and look greener.
    vec3 body = mix(kShallow, kDeep, cosi);
    vec3 colour = mix(body, sky, fresnel);

    vec3 sunDir = normalize(-(gl_ModelViewMatrixInverse * vec4(gl_LightSource[0].position.xyz, 0.0)).xyz);
    float glitter = pow(max(dot(refl, sunDir), 0.0), 240.0);
    colour += gl_LightSource[0].specular.rgb * glitter * 1.5;

    // Fully white before the mesh ends (256 units out), so the sea shows no edge.
    float haze = smoothstep(90.0, 330.0, dist);
    gl_FragColor = vec4(mix(colour, kHaze, haze), 1.0);
}
