// Vector procedures on three Singles. Each value is computed in double precision and each stored
// component rounded to a Single, so results are the same on every x86 build (SSE2 arithmetic).
// Every procedure reads its inputs before it writes its result: the output may alias an input.
#pragma once

struct TVector3 {
  float X = 0, Y = 0, Z = 0;
};

TVector3 MakeVector(float X, float Y, float Z);
// True when X, Y or Z compares unequal to 0 (negative zero counts as zero).
bool VectorIsNonZero(const TVector3& V);
float VectorLength(const TVector3& V);
void VectorSubtract(const TVector3& A, const TVector3& B, TVector3& R);
void VectorMultiply(const TVector3& A, const TVector3& B, TVector3& R);
// A zero vector normalises to the zero vector, without error.
void VectorNormalize(const TVector3& V, TVector3& R);
void VectorCross(const TVector3& A, const TVector3& B, TVector3& R);
// ((P1 - P2) x (P2 - P3)) normalised, each intermediate rounded to Singles.
void PlaneNormal(const TVector3& P1, const TVector3& P2, const TVector3& P3, TVector3& N);
