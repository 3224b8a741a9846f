#pragma once
// vqdemo --check: loads every asset the piece reads, as the piece will use it, and prints one line
// per file. Runs in the data folder (the working directory). Returns the exit status: 0 when every
// file is sound.
#include "resource/CResource.h"

#include <functional>
#include <string>
#include <vector>

struct AssetCheckOptions
{
    // Builds one shader pair in a GL context (BuildShaderProgram in the check's hidden window).
    // Unset: the sources are checked as text only.
    std::function<ShaderBuild(const std::string& vert, const std::string& frag)> buildShaders;
    // Set when the check wanted a GL context and had none: every shader pair then carries this
    // fault, since its compiling was not verified.
    std::string noContext;
};

// Opens a hidden window for the shaders, checks RequiredDataFiles() and prints the table.
int RunAssetCheck();
// The check of RunAssetCheck over the given names (relative to the working directory): the table
// goes to `table`, with GL's logs for the shaders that fail after it; the result is 0 when every
// file is sound, else 1. Every fault is one table row naming the file.
int CheckAssets(const std::vector<std::string>& files, std::string& table,
                const AssetCheckOptions& options = AssetCheckOptions());
