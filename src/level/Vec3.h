// Small vector arithmetic for the brush conversion and the texture fit. TVector3 holds Singles as
// the model stores them; TVec3d holds doubles for measures that must not lose what Singles would.
// Each operation keeps the precision and the order of its terms, so that results are the same
// wherever it is called (SSE2 arithmetic on every x86 build).
#pragma once

#include "level/P_vec.h"

namespace vec {

struct TVec3d {
  double X = 0, Y = 0, Z = 0;
};

inline TVec3d Minus(const TVec3d& A, const TVec3d& B) { return {A.X - B.X, A.Y - B.Y, A.Z - B.Z}; }
inline TVec3d Cross(const TVec3d& A, const TVec3d& B) {
  return {A.Y * B.Z - A.Z * B.Y, A.Z * B.X - A.X * B.Z, A.X * B.Y - A.Y * B.X};
}
inline double Dot(const TVec3d& A, const TVec3d& B) { return A.X * B.X + A.Y * B.Y + A.Z * B.Z; }

// The dot product of two Single vectors, each product and sum in double.
inline double Dot(const TVector3& A, const TVector3& B) {
  return static_cast<double>(A.X) * B.X + static_cast<double>(A.Y) * B.Y +
         static_cast<double>(A.Z) * B.Z;
}

// Component I of V: 0 X, 1 Y, 2 Z.
inline float Component(const TVector3& V, int I) { return I == 0 ? V.X : I == 1 ? V.Y : V.Z; }
inline float& Component(TVector3& V, int I) { return I == 0 ? V.X : I == 1 ? V.Y : V.Z; }

// The three Singles of an editor point.
inline TVector3 FromArray(const float P[3]) { return TVector3{P[0], P[1], P[2]}; }

}  // namespace vec
