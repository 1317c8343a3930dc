#include "level/P_vec.h"

#include <cmath>

TVector3 MakeVector(float X, float Y, float Z) { return TVector3{X, Y, Z}; }

bool VectorIsNonZero(const TVector3& V) { return V.X != 0.0f || V.Y != 0.0f || V.Z != 0.0f; }

// The nearest Single, with values beyond the Single range going to infinity as IEEE rounding
// does (a plain conversion of such a value is undefined in C++).
static float ToSingle(double d) {
  if (d >= 0x1.ffffffp+127) return HUGE_VALF;
  if (d <= -0x1.ffffffp+127) return -HUGE_VALF;
  return static_cast<float>(d);
}

static double LengthOf(const TVector3& V) {
  double x = V.X, y = V.Y, z = V.Z;
  return std::sqrt(x * x + y * y + z * z);
}

float VectorLength(const TVector3& V) { return ToSingle(LengthOf(V)); }

void VectorSubtract(const TVector3& A, const TVector3& B, TVector3& R) {
  double x = static_cast<double>(A.X) - B.X, y = static_cast<double>(A.Y) - B.Y,
         z = static_cast<double>(A.Z) - B.Z;
  R = TVector3{ToSingle(x), ToSingle(y), ToSingle(z)};
}

void VectorMultiply(const TVector3& A, const TVector3& B, TVector3& R) {
  double x = static_cast<double>(A.X) * B.X, y = static_cast<double>(A.Y) * B.Y,
         z = static_cast<double>(A.Z) * B.Z;
  R = TVector3{ToSingle(x), ToSingle(y), ToSingle(z)};
}

void VectorNormalize(const TVector3& V, TVector3& R) {
  double l = VectorLength(V);
  // A vector longer than the largest Single still has a direction; dividing by an infinite
  // length would turn it into the zero vector.
  if (std::isinf(l)) l = LengthOf(V);
  if (l == 0) l = 1;
  double x = V.X / l, y = V.Y / l, z = V.Z / l;
  R = TVector3{ToSingle(x), ToSingle(y), ToSingle(z)};
}

void VectorCross(const TVector3& A, const TVector3& B, TVector3& R) {
  double ax = A.X, ay = A.Y, az = A.Z, bx = B.X, by = B.Y, bz = B.Z;
  double x = ay * bz - az * by, y = az * bx - ax * bz, z = ax * by - ay * bx;
  R = TVector3{ToSingle(x), ToSingle(y), ToSingle(z)};
}

void PlaneNormal(const TVector3& P1, const TVector3& P2, const TVector3& P3, TVector3& N) {
  TVector3 d1, d2, k;
  VectorSubtract(P1, P2, d1);
  VectorSubtract(P2, P3, d2);
  VectorCross(d1, d2, k);
  VectorNormalize(k, N);
}
