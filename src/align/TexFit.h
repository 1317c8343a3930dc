// Texture alignment: the editor family's texture projections fitted to a level's texture
// vertices. Pure geometry, no settings and no host, so that the hand-off, the .map writer, the
// tests and the fuzzer all call the same code.
//
// Two forms are fitted:
// - the classic projection (shift, rotation, scale on a pair of world axes picked by the face
//   normal). It survives a save in the editor only with an integer rotation and integer shifts, so
//   the fit hands out exactly such values and chooses the scales for them. It can only show an
//   image rotated and stretched along its own two axes: texture vertices that are sheared in the
//   projection (sloped faces, mostly) come out as the least-squares compromise;
// - the brush-primitive matrix (brushDef): any affine map in the face plane, in texture repeats,
//   so it needs the image's size.
//
// Positions are editor units, texels are texels of the material's first cel (the game's texture
// vertices). Errors are distances in texels between where the editor draws a corner and the
// texture vertex it should have; a face is judged by its worst corner, which is what a user sees.
#pragma once

#include <cstddef>

#include "level/P_vec.h"

namespace texfit {

// One corner of a face: its position and the texel the level puts there.
struct TTexCorner {
  float X = 0, Y = 0, Z = 0;
  float S = 0, T = 0;
};

// The editor's plane normal from the three points a face is handed over with:
// (P1 - P2) x (P3 - P2), normalised, every operation rounded to a Single as the editor's vectors
// are. The axis pair follows from it, so it has to be this exact value: about one face in fifteen
// of a real level lies so close to a 45 degree tie that any other rounding may flip its pair.
TVector3 EditorNormal(const float P1[3], const float P2[3], const float P3[3]);

// The six pairs of world axes the classic projection draws on, in the order they are tried.
enum class TAxisPair { Floor, Ceiling, West, East, South, North };

// The axis pair of a normal: the first whose dot product with N is strictly the greatest,
// starting from Floor (a zero normal gives Floor).
TAxisPair AxisPair(const TVector3& N);
// The pair's S and T axes, before rotation.
void AxisVectors(TAxisPair Pair, TVector3& S, TVector3& T);

// The classic projection of one face, in the face record's terms.
struct TClassicProjection {
  float ShiftS = 0, ShiftT = 0;  // texels
  float Rotation = 0;            // degrees
  float ScaleS = 0.5f, ScaleT = 0.5f;
};

// Where the editor draws point P (its texel) under projection Proj on a face with normal N:
// S and T of the axis pair rotated (0, 90, 180, 270 exactly), s = P.S'/ScaleS + ShiftS and
// t = P.T'/ScaleT + ShiftT; a scale of 0 reads as the default 0.5.
void ClassicTexel(const TVector3& N, const TClassicProjection& Proj, const float P[3], double& S,
                  double& T);

struct TFitError {
  double Worst = 0;      // the greatest corner distance, texels
  int WorstCorner = -1;  // its index; -1 for no corners
  double SumSquares = 0;
};

TFitError ClassicError(const TVector3& N, const TClassicProjection& Proj, const TTexCorner* Corners,
                       size_t Count);

struct TClassicFit {
  // False for a degenerate face (fewer than three corners, corners in a line, every texture
  // vertex the same, non-finite input): Projection is then the default, which the caller leaves
  // to the editor.
  bool Fitted = false;
  TClassicProjection Projection;
  TFitError Error;  // of Projection, as the editor draws it
};

// The classic projection for the face of normal N (EditorNormal of its hand-off points) whose
// corners carry the given texels: an integer rotation in [0, 360), integer shifts, and scales
// refitted by least squares with those integers held, none of them 0, NaN or infinite. Of the
// integer rotations and shift roundings near the continuous optimum, the one whose worst corner
// lies nearest is taken. Texels that the projection can reproduce come back exactly.
TClassicFit FitClassic(const TVector3& N, const TTexCorner* Corners, size_t Count);

// True when FitClassic fits the face (it is not degenerate); a pass over the corners, without the
// fit.
bool ClassicFittable(const TVector3& N, const TTexCorner* Corners, size_t Count);

// The brush-primitive texture axes of a plane normal, as the editor family derives them:
// components under 1e-6 in size count as 0; rotY = -atan2(n.z, sqrt(n.x^2 + n.y^2)),
// rotZ = atan2(n.y, n.x); TexX = (-sin rotZ, cos rotZ, 0),
// TexY = (-sin rotY cos rotZ, -sin rotY sin rotZ, -cos rotY).
void ComputeAxisBase(const TVector3& N, TVector3& TexX, TVector3& TexY);

// A brushDef face's texture matrix: with x = P.TexX and y = P.TexY, a point lies at
// s = M[0][0] x + M[0][1] y + M[0][2], t = M[1][0] x + M[1][1] y + M[1][2], in texture repeats.
struct TBrushDefMatrix {
  float M[2][3] = {{0, 0, 0}, {0, 0, 0}};
};

// Where a brushDef face with normal N draws P, in texels of an image Width x Height.
void BrushDefTexel(const TVector3& N, const TBrushDefMatrix& Matrix, int Width, int Height,
                   const float P[3], double& S, double& T);

TFitError BrushDefError(const TVector3& N, const TBrushDefMatrix& Matrix, int Width, int Height,
                        const TTexCorner* Corners, size_t Count);

// The matrix that draws a plane (normal N, through point OnPlane) exactly as the classic
// projection Proj does, for an image Width x Height (both above 0).
TBrushDefMatrix BrushDefFromClassic(const TVector3& N, const float OnPlane[3],
                                    const TClassicProjection& Proj, int Width, int Height);

struct TBrushDefFit {
  bool Fitted = false;  // false: degenerate face, Matrix is left as the caller's fallback
  TBrushDefMatrix Matrix;
  TFitError Error;
};

// The least-squares affine matrix of the corners' texels on the plane of normal N, for an image
// Width x Height (both above 0). Every affine texture map comes back exact up to float rounding.
TBrushDefFit FitBrushDef(const TVector3& N, const TTexCorner* Corners, size_t Count, int Width,
                         int Height);

}  // namespace texfit
