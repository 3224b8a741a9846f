#version 120
// Liquid metal: the view is reflected through the surface normal into two environment cube maps
// ("EnvMap" at interp 0, "EnvMap2" at interp 1), brighter at grazing angles, with light 0's
// specular highlight on top.
uniform samplerCube EnvMap;
uniform samplerCube EnvMap2;
uniform float interp;
varying vec3 normal;
varying vec3 eyePos;

void main()
{
    vec3 n = normalize(normal);
    vec3 v = normalize(eyePos); // from the eye towards the surface
    // Where the blob is cut open by its grid we look at the inside: shade it as if seen from out.
    if (dot(n, v) > 0.0)
        n = -n;
    vec3 r = reflect(v, n);
    vec3 env = mix(textureCube(EnvMap, r).rgb, textureCube(EnvMap2, r).rgb, clamp(interp, 0.0, 1.0));

    float facing = max(dot(-v, n), 0.0);
    float fresnel = pow(1.0 - facing, 3.0);
    vec3 l = normalize(gl_LightSource[0].position.xyz - eyePos);
    vec3 h = normalize(l - v);
    float highlight = pow(max(dot(n, h), 0.0), 48.0);
    float diff = max(dot(n, l), 0.0);

    vec3 colour = env * (0.8 + 0.7 * fresnel) + gl_LightSource[0].diffuse.rgb * (0.25 * diff) +
                  gl_LightSource[0].specular.rgb * highlight;
    gl_FragColor = vec4(colour, 1.0);
}
