#pragma once
// The piece's one pseudo-random generator. It reproduces the classic runtime generator the
// piece was tuned with: range 0..VQ_RAND_MAX and the linear congruential recurrence
//   state = state * 214013 + 2531011, result = (state >> 16) & 0x7FFF.
// glibc's rand() has another range and recurrence and must never be used in the piece.

constexpr int VQ_RAND_MAX = 32767;

void vq_srand(unsigned int seed);
int vq_rand();

// Uniform float in [a, b] (both ends included): a + (b - a) * (r / 32767) in single precision.
float rnd(float a, float b);
