#pragma once
// MeshBuilder collects parametric surfaces into one KHLF model. Each surface is a grid over
// (u, v) in [0, 1]^2, u running around, v from one end to the other; its normals come from the
// finished positions (face normals summed over every corner that shares a position), so seams,
// poles and any deformation get smooth, consistent normals without analytic derivatives.
#include "DanceMath.h"

#include "formats/HlfFormats.h"

#include <functional>

namespace dance
{
// The part of the texture a surface maps onto: s from u0 to u1 along u, t from v0 to v1 along v.
struct UvRect
{
    double u0 = 0, v0 = 0, u1 = 1, v1 = 1;
    // A small rectangle around the centre of a solid colour cell, so filtering never reaches the
    // neighbouring cell.
    static UvRect Cell(double u0, double v0, double u1, double v1);
};

// Profile point of a surface of revolution: height along the axis and radius there.
struct LathePoint
{
    double y, r;
};

class MeshBuilder
{
public:
    using SurfaceFn = std::function<Vec3(double u, double v)>;

    // Normals face the side from which (dP/du x dP/dv) points; inward flips them (and the
    // winding) for a surface seen from inside, such as a cave.
    void AddGrid(const SurfaceFn& f, int nu, int nv, const Mat4& xf, UvRect uv, bool inward = false);
    // Ellipsoid of radii r around centre c (in the frame xf).
    void AddEllipsoid(Vec3 c, Vec3 r, const Mat4& xf, int nu, int nv, UvRect uv);
    // Surface of revolution about the y axis through the profile (first point on top), closed
    // at either end whose radius is 0; sx and sz scale the round cross-section to an ellipse.
    void AddLathe(const std::vector<LathePoint>& profile, double sx, double sz, const Mat4& xf, int nu,
                  int stepsPerSpan, UvRect uv);
    // Cone from a round base of radius r at the origin to a tip at height h (along y), in xf.
    void AddCone(double r, double h, const Mat4& xf, int nu, UvRect uv);

    // Drops every face whose corners all lie on the outer side of one of the planes (n, d) with
    // dot(n, p) + d < 0 outside, and the vertices no face uses any more. With the planes of a
    // fixed camera's view this removes what can never be seen, and nothing that can.
    struct Plane
    {
        Vec3 n;
        double d;
    };
    void CullOutside(const std::vector<Plane>& planes);
    // Drops every face whose corners all lie over the rectangle x0..x1, z0..z1 and below height
    // y: what lies under an opaque floor drawn there.
    void CullInside(double x0, double z0, double x1, double z1, double y);

    // Gives every face its own corners and moves its texture coordinates into one tile of an
    // atlas of tiles x tiles copies of a seamless texture, picked by tileOf(face centre, face
    // normal) (0 .. tiles^2 - 1, tile k at column k % tiles, row k / tiles counted from t = 0).
    // Each face must lie within one repeat of the texture (whole cells of it), as the surfaces
    // are laid out; what reaches further is clamped into its repeat.
    void BakeAtlas(int tiles, const std::function<int(Vec3 centre, Vec3 normal)>& tileOf);

    const hlf::KhlfModel& Model() const { return model; }
    // Triangles the model draws (a quad counts as two).
    int Triangles() const;

private:
    // Keeps the faces for which keep(face) holds and the vertices they use.
    void keepFaces(const std::function<bool(const hlf::KhlfFace&)>& keep);

    hlf::KhlfModel model;
};
} // namespace dance
