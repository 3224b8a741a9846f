#version 120
// A 7 x 7 blur: sample k is taken at offset scoord[k]; entry 7 i + j lies i - 3 steps across and
// j - 3 steps down. Its weight is g(i) x g(j) with g a Gaussian of sigma 2 steps,
// g(n) = exp(-(n - 3)^2 / 8); the sum is divided by the total weight, so the 49 weights sum to 1
// and a flat picture stays flat.
uniform sampler2D fullscreen;
uniform vec2 scoord[49];

const float gauss[7] = float[7](0.324652, 0.606531, 0.882497, 1.0, 0.882497, 0.606531, 0.324652);

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    vec3 sum = vec3(0.0);
    float total = 0.0;
    for (int i = 0; i < 7; ++i)
    {
        for (int j = 0; j < 7; ++j)
        {
            float w = gauss[i] * gauss[j];
            sum += w * texture2D(fullscreen, uv + scoord[7 * i + j]).rgb;
            total += w;
        }
    }
    gl_FragColor = vec4(sum / total, 1.0);
}
