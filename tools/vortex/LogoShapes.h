#pragma once
// The group's letters "KRO" as vector outlines. The same outlines give the flat logo picture (by
// signed distance) and the extruded 3D model, so the two always agree.
#include "formats/HlfFormats.h"

#include <string>
#include <vector>

namespace vortexgen
{
struct Vec2
{
    double x = 0, y = 0;
};

// A closed polygon; the last point joins the first.
struct Contour
{
    std::vector<Vec2> pts;
};

// One filled shape: an outer contour (counter-clockwise) and its holes (clockwise).
struct Shape
{
    Contour outer;
    std::vector<Contour> holes;
};

// Forward lean of the letters: x grows by this much per unit of height.
constexpr double kLetterSlant = 0.16;

// The letters K, R, O side by side, slanted, in logo units: cap height 1 (y from 0 up to 1),
// x from 0 to about 3.
std::vector<Shape> KroShapes();
// Bounding box of all contours.
void ShapesBounds(const std::vector<Shape>& shapes, Vec2& lo, Vec2& hi);

double SignedArea(const std::vector<Vec2>& pts);
// Triangles (index triples into the returned points) covering the shape, holes left open.
// False with a reason when the outline cannot be cut into ears (self-crossing input).
bool Triangulate(const Shape& shape, std::vector<Vec2>& points, std::vector<int>& triangles,
                 std::string& error);

// Signed distance from p to the outlines: negative inside a shape (even-odd), positive outside.
double SignedDistance(const std::vector<Shape>& shapes, Vec2 p);

// The extruded model: caps at z = +depth/2 (front, facing +z) and -depth/2, walls between them.
// Wall segments meeting at a shallow angle share their normal (arcs read round), corners stay
// sharp. Positions are centred on the origin and scaled so the letters are `height` tall. Texture
// coordinates map the caps onto the logo's bounding box (0..1) and run along the walls.
bool ExtrudeShapes(const std::vector<Shape>& shapes, double height, double depth, hlf::KhlfModel& model,
                   std::string& error);
} // namespace vortexgen
