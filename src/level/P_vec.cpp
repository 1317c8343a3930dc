#include "level/P_vec.h"

#include <cmath>

TVector3 MakeVector(float X, float Y, float Z) { return TVector3{X, Y, Z}; }

bool VectorIsNonZero(const TVector3& V) { return V.X != 0.0f || V.Y != 0.0f || V.Z != 0.0f; }

float VectorLength(const TVector3& V) {
  double x = V.X, y = V.Y, z = V.Z;
  return static_cast<float>(std::sqrt(x * x + y * y + z * z));
}

void VectorSubtract(const TVector3& A, const TVector3& B, TVector3& R) {
  double x = static_cast<double>(A.X) - B.X, y = static_cast<double>(A.Y) - B.Y,
         z = static_cast<double>(A.Z) - B.Z;
  R = TVector3{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

void VectorMultiply(const TVector3& A, const TVector3& B, TVector3& R) {
  double x = static_cast<double>(A.X) * B.X, y = static_cast<double>(A.Y) * B.Y,
         z = static_cast<double>(A.Z) * B.Z;
  R = TVector3{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

void VectorNormalize(const TVector3& V, TVector3& R) {
  double l = VectorLength(V);
  if (l == 0) l = 1;
  double x = V.X / l, y = V.Y / l, z = V.Z / l;
  R = TVector3{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

void VectorCross(const TVector3& A, const TVector3& B, TVector3& R) {
  double ax = A.X, ay = A.Y, az = A.Z, bx = B.X, by = B.Y, bz = B.Z;
  double x = ay * bz - az * by, y = az * bx - ax * bz, z = ax * by - ay * bx;
  R = TVector3{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

void PlaneNormal(const TVector3& P1, const TVector3& P2, const TVector3& P3, TVector3& N) {
  TVector3 d1, d2, k;
  VectorSubtract(P1, P2, d1);
  VectorSubtract(P2, P3, d2);
  VectorCross(d1, d2, k);
  VectorNormalize(k, N);
}
