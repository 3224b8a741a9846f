#pragma once
// Bitmap text (96 display lists for characters 32..127, a bold Courier-metric face at 24 px) and
// the closing picture, both drawn on the window.

extern unsigned int base;

void BuildFont();
// Formats like printf into a bounded buffer and draws at the current raster position.
void glPrint(const char* fmt, ...);
// One frame of the closing picture, drawn on the window.
void outro();
