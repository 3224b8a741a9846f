#version 120
// The logo on its grid: the black background is dropped so the rings show through, a light spot
// wanders over the letters with "spos", and the whole logo flares with the bass level "str".
uniform sampler2D logo;
uniform vec3 spos;
uniform float str;

const float kNearBlack = 0.06;  // brightest component below this counts as background
const float kSpotSharpness = 18.0;

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    vec3 c = texture2D(logo, uv).rgb;
    if (max(c.r, max(c.g, c.b)) < kNearBlack)
        discard;
    // The square grid is shown on a 4:3 screen: squeeze the spot's height so it looks round.
    vec2 d = (uv - spos.xy) * vec2(1.0, 0.75);
    float spot = exp(-dot(d, d) * kSpotSharpness);
    float level = clamp(str, 0.0, 4.0);
    float lum = dot(c, vec3(0.333));
    vec3 lit = c * (0.75 + 0.15 * level) + vec3(1.0, 0.95, 0.85) * (spot * 0.9 * lum);
    gl_FragColor = vec4(lit, 1.0);
}
