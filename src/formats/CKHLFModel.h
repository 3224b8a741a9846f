#pragma once
// CKHLFModel: a static model read from a KHLF file and compiled once into a display list; drawing
// it is one list call. Normals and texture coordinates are used exactly as the file stores them.
namespace hlf
{
struct KhlfModel;
}

class CKHLFModel
{
public:
    // Reads the file and builds both lists (needs a current context, outside glNewList). A fault
    // is reported once on standard error; the lists then hold what was valid (possibly nothing),
    // so Render is always safe. With --verbose every corner's normal is traced on standard output.
    void Load(const char* file);
    // The list-building half of Load, from parsed records.
    void Compile(const hlf::KhlfModel& model);
    // Sets the colour to white and draws the faces; the caller owns every other state.
    void Render();
    // Short lines along every corner's normal (a debugging view; no scene draws it).
    void RenderNormals();

    unsigned displist = 0;
    unsigned normlist = 0;
};
