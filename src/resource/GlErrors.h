#pragma once
// GL records its errors instead of returning them; a loader that hands GL a picture or a list
// reads them right after, so that a refused upload is reported with the file it came from instead
// of surfacing (or not) at some later call.
#include <string>

// "GL_INVALID_VALUE (0x0501)".
std::string GlErrorName(unsigned error);
// Reads every error GL recorded and reports each on standard error as one line:
// "<who>: \"<file>\": OpenGL error GL_INVALID_VALUE (0x0501) while loading it". Returns how many.
int ReportGlErrors(const char* who, const std::string& file);
// Takes the errors recorded before a load, so that they are not blamed on its file; with
// --verbose they are shown.
void ClearGlErrors();
