#include "align/TexFit.h"

#include <cmath>
#include <vector>

#include "level/Vec3.h"

namespace texfit {

namespace {

using vec::Component;
using vec::Dot;

constexpr double Pi = 3.14159265358979323846;

// Texels per editor unit, in size: beyond these a scale would no longer survive being saved with
// six decimals (too small) or would stretch one texel over a whole level (too large).
constexpr double MaxTexelsPerUnit = 1024;
constexpr double MinTexelsPerUnit = 1.0 / 4096;

// Texels: a fit this near is exact for every purpose.
constexpr double ExactEnough = 1e-3;

bool Finite(double V) { return std::isfinite(V); }

bool CornersFinite(const TTexCorner* Corners, size_t Count) {
  for (size_t i = 0; i < Count; ++i) {
    const TTexCorner& c = Corners[i];
    if (!Finite(c.X) || !Finite(c.Y) || !Finite(c.Z) || !Finite(c.S) || !Finite(c.T)) return false;
  }
  return true;
}

TVector3 Position(const TTexCorner& C) { return TVector3{C.X, C.Y, C.Z}; }

// The index of the first non-zero component of an axis of a pair (each has exactly one).
int NonZeroIndex(const TVector3& Axis) { return Axis.X != 0 ? 0 : Axis.Y != 0 ? 1 : 2; }

// The pair's axes rotated by Rotation degrees, as the editor rotates them: with sv and tv the
// indices of the non-zero components of S and T, each axis v becomes
// (cos r v[sv] - sin r v[tv]) at sv and (sin r v[sv] + cos r v[tv]) at tv, in Singles.
void RotatedAxes(TAxisPair Pair, float Rotation, TVector3& S, TVector3& T) {
  AxisVectors(Pair, S, T);
  float sinv, cosv;
  if (Rotation == 0) {
    sinv = 0, cosv = 1;
  } else if (Rotation == 90) {
    sinv = 1, cosv = 0;
  } else if (Rotation == 180) {
    sinv = 0, cosv = -1;
  } else if (Rotation == 270) {
    sinv = -1, cosv = 0;
  } else {
    const double ang = Rotation / 180.0 * Pi;
    sinv = static_cast<float>(std::sin(ang));
    cosv = static_cast<float>(std::cos(ang));
  }
  const int sv = NonZeroIndex(S);
  const int tv = NonZeroIndex(T);
  for (TVector3* v : {&S, &T}) {
    const float a = Component(*v, sv), b = Component(*v, tv);
    const float ns = cosv * a - sinv * b;
    const float nt = sinv * a + cosv * b;
    Component(*v, sv) = ns;
    Component(*v, tv) = nt;
  }
}

float EffectiveScale(float Scale) { return Scale == 0 ? 0.5f : Scale; }

// The centred sums of a face's corners on its pair's plane (u, w: the components at the indices
// of S and T) and of their texels, from which the fit for any rotation follows without another
// pass over the corners.
struct TMoments {
  double n = 0, mu = 0, mw = 0, ms = 0, mt = 0;
  double suu = 0, suw = 0, sww = 0, sus = 0, sws = 0, sut = 0, swt = 0, sss = 0, stt = 0;
};

// The least-squares (Alpha, Sigma) of s ~ Alpha x + Sigma with Sigma an integer, from the mean
// mx and ms and the centred sums Sxx and Sxs. With Alpha refitted for each Sigma the cost is a
// convex quadratic in Sigma, so the best integer is one of the two next to the real optimum.
// False when x does not vary.
bool FitAxis(double n, double mx, double ms, double sxx, double sxs, double& Alpha, double& Sigma) {
  if (!(sxx > 0)) return false;
  const double sigmaReal = ms - sxs / sxx * mx;
  if (!Finite(sigmaReal) || std::fabs(sigmaReal) > 1e9) return false;
  double bestCost = HUGE_VAL;
  for (double sigma : {std::floor(sigmaReal), std::ceil(sigmaReal)}) {
    // s - sigma = (ms - sigma) + ds: sums over the corners in centred terms.
    const double c = ms - sigma;
    double alpha = (n * mx * c + sxs) / (n * mx * mx + sxx);
    if (!Finite(alpha)) continue;
    // A scale is never 0 nor unbounded: clamp the texel density, keeping its sign.
    const double mag = std::fabs(alpha);
    if (mag < MinTexelsPerUnit) alpha = alpha < 0 ? -MinTexelsPerUnit : MinTexelsPerUnit;
    if (mag > MaxTexelsPerUnit) alpha = alpha < 0 ? -MaxTexelsPerUnit : MaxTexelsPerUnit;
    // The sum of squared residuals less the part that does not depend on Alpha and Sigma.
    const double c0 = alpha * mx - c;
    const double cost = n * c0 * c0 + alpha * alpha * sxx - 2 * alpha * sxs;
    if (cost < bestCost) bestCost = cost, Alpha = alpha, Sigma = sigma;
  }
  return bestCost < HUGE_VAL;
}

// Each corner's distance from its texel under the rotated axes, scales and shifts given, as the
// editor draws them; the worst and the sum of squares.
TFitError AxesError(const TVector3& SAxis, const TVector3& TAxis, const TClassicProjection& Proj,
                    const TTexCorner* Corners, size_t Count) {
  TFitError e;
  const double scaleS = EffectiveScale(Proj.ScaleS), scaleT = EffectiveScale(Proj.ScaleT);
  for (size_t i = 0; i < Count; ++i) {
    const TVector3 p = Position(Corners[i]);
    const double ds = Dot(p, SAxis) / scaleS + Proj.ShiftS - Corners[i].S;
    const double dt = Dot(p, TAxis) / scaleT + Proj.ShiftT - Corners[i].T;
    const double d2 = ds * ds + dt * dt;
    e.SumSquares += d2;
    const double d = std::sqrt(d2);
    // NaN compares false: such a corner becomes the worst.
    if (e.WorstCorner < 0 || !(d <= e.Worst)) e.Worst = d, e.WorstCorner = static_cast<int>(i);
  }
  return e;
}

bool Better(const TFitError& A, const TFitError& B) {
  if (A.Worst != B.Worst) return A.Worst < B.Worst;
  return A.SumSquares < B.SumSquares;
}

// The classic projection with Rotation held, shifts and scales fitted; false when it cannot be.
bool FitWithRotation(TAxisPair Pair, int Sv, int Tv, const TMoments& M, int Rotation,
                     const TTexCorner* Corners, size_t Count, TClassicFit& Fit) {
  TVector3 sAxis, tAxis;
  const float rot = static_cast<float>(Rotation);
  RotatedAxes(Pair, rot, sAxis, tAxis);
  const double a = Component(sAxis, Sv), b = Component(sAxis, Tv), c = Component(tAxis, Sv),
               d = Component(tAxis, Tv);
  double alphaS, sigmaS, alphaT, sigmaT;
  if (!FitAxis(M.n, a * M.mu + b * M.mw, M.ms, a * a * M.suu + 2 * a * b * M.suw + b * b * M.sww,
               a * M.sus + b * M.sws, alphaS, sigmaS))
    return false;
  if (!FitAxis(M.n, c * M.mu + d * M.mw, M.mt, c * c * M.suu + 2 * c * d * M.suw + d * d * M.sww,
               c * M.sut + d * M.swt, alphaT, sigmaT))
    return false;
  TClassicProjection proj;
  proj.Rotation = rot;
  proj.ShiftS = static_cast<float>(sigmaS);
  proj.ShiftT = static_cast<float>(sigmaT);
  proj.ScaleS = static_cast<float>(1 / alphaS);
  proj.ScaleT = static_cast<float>(1 / alphaT);
  Fit.Fitted = true;
  Fit.Projection = proj;
  // The error exactly as ClassicError measures it, without computing the axes again.
  Fit.Error = AxesError(sAxis, tAxis, proj, Corners, Count);
  return Finite(Fit.Error.Worst);
}

}  // namespace

TVector3 EditorNormal(const float P1[3], const float P2[3], const float P3[3]) {
  // One Single operation per statement, so that nothing is kept wider or fused.
  const float ax = P1[0] - P2[0], ay = P1[1] - P2[1], az = P1[2] - P2[2];
  const float bx = P3[0] - P2[0], by = P3[1] - P2[1], bz = P3[2] - P2[2];
  const float x1 = ay * bz, x2 = az * by;
  const float y1 = az * bx, y2 = ax * bz;
  const float z1 = ax * by, z2 = ay * bx;
  const float x = x1 - x2, y = y1 - y2, z = z1 - z2;
  const float xx = x * x, yy = y * y, zz = z * z;
  const float sum = xx + yy;
  const float sq = sum + zz;
  const float length = std::sqrt(sq);
  if (length == 0 || !Finite(length)) return TVector3{};
  return TVector3{x / length, y / length, z / length};
}

TAxisPair AxisPair(const TVector3& N) {
  static const float Base[6][3] = {{0, 0, 1},  {0, 0, -1}, {1, 0, 0},
                                   {-1, 0, 0}, {0, 1, 0},  {0, -1, 0}};
  int pair = 0;
  float best = 0;
  for (int i = 0; i < 6; ++i) {
    const float a = N.X * Base[i][0], b = N.Y * Base[i][1], c = N.Z * Base[i][2];
    const float ab = a + b;
    const float dot = ab + c;
    if (dot > best) best = dot, pair = i;
  }
  return static_cast<TAxisPair>(pair);
}

void AxisVectors(TAxisPair Pair, TVector3& S, TVector3& T) {
  static const float Axes[3][2][3] = {{{1, 0, 0}, {0, -1, 0}},   // floor, ceiling
                                      {{0, 1, 0}, {0, 0, -1}},   // west, east
                                      {{1, 0, 0}, {0, 0, -1}}};  // south, north
  const int p = static_cast<int>(Pair);
  const int k = (p >= 0 && p < 6 ? p : 0) / 2;
  S = TVector3{Axes[k][0][0], Axes[k][0][1], Axes[k][0][2]};
  T = TVector3{Axes[k][1][0], Axes[k][1][1], Axes[k][1][2]};
}

void ClassicTexel(const TVector3& N, const TClassicProjection& Proj, const float P[3], double& S,
                  double& T) {
  TVector3 sAxis, tAxis;
  RotatedAxes(AxisPair(N), Proj.Rotation, sAxis, tAxis);
  const TVector3 p = vec::FromArray(P);
  S = Dot(p, sAxis) / EffectiveScale(Proj.ScaleS) + Proj.ShiftS;
  T = Dot(p, tAxis) / EffectiveScale(Proj.ScaleT) + Proj.ShiftT;
}

TFitError ClassicError(const TVector3& N, const TClassicProjection& Proj, const TTexCorner* Corners,
                       size_t Count) {
  TVector3 sAxis, tAxis;
  RotatedAxes(AxisPair(N), Proj.Rotation, sAxis, tAxis);
  return AxesError(sAxis, tAxis, Proj, Corners, Count);
}

namespace {

// The pair of N, the indices of its S and T axes, and the face's moments; false for a face the
// classic fit leaves alone (fewer than three corners, anything not finite, corners in a line seen
// along the pair's axis, or one texel for all).
bool Prepare(const TVector3& N, const TTexCorner* Corners, size_t Count, TAxisPair& Pair, int& Sv,
             int& Tv, TMoments& M, double& Det) {
  if (Count < 3 || !CornersFinite(Corners, Count)) return false;
  if (!Finite(N.X) || !Finite(N.Y) || !Finite(N.Z)) return false;
  Pair = AxisPair(N);
  TVector3 s0, t0;
  AxisVectors(Pair, s0, t0);
  const int sv = NonZeroIndex(s0);
  const int tv = NonZeroIndex(t0);
  Sv = sv, Tv = tv;
  // Centred, for the sake of faces far from the origin.
  TMoments& m = M;
  m = TMoments();
  m.n = static_cast<double>(Count);
  for (size_t i = 0; i < Count; ++i) {
    const TVector3 p = Position(Corners[i]);
    m.mu += Component(p, sv), m.mw += Component(p, tv), m.ms += Corners[i].S, m.mt += Corners[i].T;
  }
  m.mu /= m.n, m.mw /= m.n, m.ms /= m.n, m.mt /= m.n;
  for (size_t i = 0; i < Count; ++i) {
    const TVector3 p = Position(Corners[i]);
    const double u = Component(p, sv) - m.mu, w = Component(p, tv) - m.mw;
    const double s = Corners[i].S - m.ms, t = Corners[i].T - m.mt;
    m.suu += u * u, m.suw += u * w, m.sww += w * w;
    m.sus += u * s, m.sws += w * s, m.sut += u * t, m.swt += w * t;
    m.sss += s * s, m.stt += t * t;
  }
  Det = m.suu * m.sww - m.suw * m.suw;
  return Det > 1e-12 * m.suu * m.sww && m.sss + m.stt > 0 && Finite(Det);
}

}  // namespace

bool ClassicFittable(const TVector3& N, const TTexCorner* Corners, size_t Count) {
  TAxisPair pair;
  int sv, tv;
  TMoments m;
  double det;
  return Prepare(N, Corners, Count, pair, sv, tv, m, det);
}

TClassicFit FitClassic(const TVector3& N, const TTexCorner* Corners, size_t Count) {
  TClassicFit fit;
  // The affine least-squares map from the corners' place on the pair's plane (u, w) to their
  // texels.
  TAxisPair pair;
  int sv, tv;
  TMoments m;
  double det;
  if (!Prepare(N, Corners, Count, pair, sv, tv, m, det)) return fit;
  const double m1x = (m.sww * m.sus - m.suw * m.sws) / det;
  const double m1y = (m.suu * m.sws - m.suw * m.sus) / det;
  const double m2x = (m.sww * m.sut - m.suw * m.swt) / det;
  const double m2y = (m.suu * m.swt - m.suw * m.sut) / det;

  // The rotation theta maximising (m1.e)^2 + (m2.e')^2, e = (cos, sin), e' = (-sin, cos): the
  // principal direction of m1 m1' + q q' with q = (m2y, -m2x). Exact when the map is a rotation
  // with a scale along each texture axis, the best start otherwise.
  const double k00 = m1x * m1x + m2y * m2y, k11 = m1y * m1y + m2x * m2x;
  const double k01 = m1x * m1y - m2y * m2x;
  const double theta = 0.5 * std::atan2(2 * k01, k00 - k11) * 180 / Pi;
  if (!Finite(theta)) return fit;
  const int r0 = static_cast<int>(std::lround(theta));

  TClassicFit best;
  auto tryRotation = [&](int r) {
    TClassicFit candidate;
    if (!FitWithRotation(pair, sv, tv, m, (r % 360 + 360) % 360, Corners, Count, candidate))
      return false;
    if (best.Fitted && !Better(candidate.Error, best.Error)) return false;
    best = candidate;
    return true;
  };
  // The nearest integer first: when it already lands on every texel (to float rounding, as most
  // faces do) no neighbour can do visibly better. Otherwise the neighbours, going on (up to two
  // degrees) only in the direction that came nearer.
  tryRotation(r0);
  // Rows of the map at right angles, at the integer angle, with nothing left over: the texels
  // are a rotation and two scales, and only the rounding of the shifts is off.
  const double affineLeft =
      m.sss - (m1x * m.sus + m1y * m.sws) + m.stt - (m2x * m.sut + m2y * m.swt);
  const bool exactRotation =
      std::fabs(theta - r0) < 1e-4 &&
      std::fabs(m1x * m2x + m1y * m2y) <= 1e-7 * (m1x * m1x + m1y * m1y + m2x * m2x + m2y * m2y) &&
      affineLeft <= 1e-9 * (m.sss + m.stt);
  if (!exactRotation && (!best.Fitted || best.Error.Worst >= ExactEnough)) {
    if (tryRotation(r0 - 1))
      tryRotation(r0 - 2);
    else if (tryRotation(r0 + 1))
      tryRotation(r0 + 2);
  }
  // A turn by 180 degrees with both scales negated draws the same: prefer a positive S scale
  // when it lands as near.
  if (best.Fitted && best.Projection.ScaleS < 0) {
    TClassicFit turned;
    if (FitWithRotation(pair, sv, tv, m, (static_cast<int>(best.Projection.Rotation) + 180) % 360,
                        Corners, Count, turned) &&
        turned.Error.Worst <= best.Error.Worst + 1e-9)
      best = turned;
  }
  return best;
}

void ComputeAxisBase(const TVector3& N, TVector3& TexX, TVector3& TexY) {
  TVector3 n = N;
  for (float* c : {&n.X, &n.Y, &n.Z})
    if (std::fabs(*c) < 1e-6f) *c = 0;
  const double rotY =
      -std::atan2(static_cast<double>(n.Z),
                  std::sqrt(static_cast<double>(n.Y) * n.Y + static_cast<double>(n.X) * n.X));
  const double rotZ = std::atan2(static_cast<double>(n.Y), static_cast<double>(n.X));
  TexX.X = static_cast<float>(-std::sin(rotZ));
  TexX.Y = static_cast<float>(std::cos(rotZ));
  TexX.Z = 0;
  TexY.X = static_cast<float>(-std::sin(rotY) * std::cos(rotZ));
  TexY.Y = static_cast<float>(-std::sin(rotY) * std::sin(rotZ));
  TexY.Z = static_cast<float>(-std::cos(rotY));
}

namespace {

void BrushDefTexelAt(const TVector3& N, const TBrushDefMatrix& Matrix, int Width, int Height,
                     const TVector3& P, double& S, double& T) {
  TVector3 texX, texY;
  ComputeAxisBase(N, texX, texY);
  const double x = Dot(P, texX), y = Dot(P, texY);
  S = (Matrix.M[0][0] * x + Matrix.M[0][1] * y + Matrix.M[0][2]) * Width;
  T = (Matrix.M[1][0] * x + Matrix.M[1][1] * y + Matrix.M[1][2]) * Height;
}

}  // namespace

void BrushDefTexel(const TVector3& N, const TBrushDefMatrix& Matrix, int Width, int Height,
                   const float P[3], double& S, double& T) {
  BrushDefTexelAt(N, Matrix, Width, Height, vec::FromArray(P), S, T);
}

TFitError BrushDefError(const TVector3& N, const TBrushDefMatrix& Matrix, int Width, int Height,
                        const TTexCorner* Corners, size_t Count) {
  TFitError e;
  for (size_t i = 0; i < Count; ++i) {
    const TVector3 p = Position(Corners[i]);
    double s, t;
    BrushDefTexelAt(N, Matrix, Width, Height, p, s, t);
    const double ds = s - Corners[i].S, dt = t - Corners[i].T;
    const double d2 = ds * ds + dt * dt;
    e.SumSquares += d2;
    const double d = std::sqrt(d2);
    if (e.WorstCorner < 0 || !(d <= e.Worst)) e.Worst = d, e.WorstCorner = static_cast<int>(i);
  }
  return e;
}

TBrushDefMatrix BrushDefFromClassic(const TVector3& N, const float OnPlane[3],
                                    const TClassicProjection& Proj, int Width, int Height) {
  TVector3 texX, texY;
  ComputeAxisBase(N, texX, texY);
  // The frame (TexX, TexY, TexY x TexX) is orthonormal and its third axis is the normal, so a
  // point of the plane is d n + x TexX + y TexY, and the classic texel is affine in (x, y).
  const double nx = static_cast<double>(texY.Y) * texX.Z - static_cast<double>(texY.Z) * texX.Y;
  const double ny = static_cast<double>(texY.Z) * texX.X - static_cast<double>(texY.X) * texX.Z;
  const double nz = static_cast<double>(texY.X) * texX.Y - static_cast<double>(texY.Y) * texX.X;
  const double d = OnPlane[0] * nx + OnPlane[1] * ny + OnPlane[2] * nz;
  TVector3 sAxis, tAxis;
  RotatedAxes(AxisPair(N), Proj.Rotation, sAxis, tAxis);
  TBrushDefMatrix m;
  const double w = Width > 0 ? Width : 1, h = Height > 0 ? Height : 1;
  const double scaleS = EffectiveScale(Proj.ScaleS), scaleT = EffectiveScale(Proj.ScaleT);
  auto row = [&](const TVector3& axis, double scale, double shift, double size, float* out) {
    const double ax = Dot(texX, axis), ay = Dot(texY, axis);
    const double an = nx * axis.X + ny * axis.Y + nz * axis.Z;
    out[0] = static_cast<float>(ax / scale / size);
    out[1] = static_cast<float>(ay / scale / size);
    out[2] = static_cast<float>((d * an / scale + shift) / size);
  };
  row(sAxis, scaleS, Proj.ShiftS, w, m.M[0]);
  row(tAxis, scaleT, Proj.ShiftT, h, m.M[1]);
  return m;
}

TBrushDefFit FitBrushDef(const TVector3& N, const TTexCorner* Corners, size_t Count, int Width,
                         int Height) {
  TBrushDefFit fit;
  if (Count < 3 || Width <= 0 || Height <= 0 || !CornersFinite(Corners, Count)) return fit;
  if (!Finite(N.X) || !Finite(N.Y) || !Finite(N.Z)) return fit;
  TVector3 texX, texY;
  ComputeAxisBase(N, texX, texY);
  std::vector<double> x(Count), y(Count);
  const double n = static_cast<double>(Count);
  double mx = 0, my = 0, ms = 0, mt = 0;
  for (size_t i = 0; i < Count; ++i) {
    const TVector3 p = Position(Corners[i]);
    x[i] = Dot(p, texX), y[i] = Dot(p, texY);
    mx += x[i], my += y[i], ms += Corners[i].S / Width, mt += Corners[i].T / Height;
  }
  mx /= n, my /= n, ms /= n, mt /= n;
  double sxx = 0, sxy = 0, syy = 0, sxs = 0, sys = 0, sxt = 0, syt = 0;
  for (size_t i = 0; i < Count; ++i) {
    const double u = x[i] - mx, v = y[i] - my;
    const double s = Corners[i].S / Width - ms, t = Corners[i].T / Height - mt;
    sxx += u * u, sxy += u * v, syy += v * v;
    sxs += u * s, sys += v * s, sxt += u * t, syt += v * t;
  }
  const double det = sxx * syy - sxy * sxy;
  if (!(det > 1e-12 * sxx * syy) || !Finite(det)) return fit;
  float* r0 = fit.Matrix.M[0];
  float* r1 = fit.Matrix.M[1];
  r0[0] = static_cast<float>((syy * sxs - sxy * sys) / det);
  r0[1] = static_cast<float>((sxx * sys - sxy * sxs) / det);
  r1[0] = static_cast<float>((syy * sxt - sxy * syt) / det);
  r1[1] = static_cast<float>((sxx * syt - sxy * sxt) / det);
  // The offsets from the rounded slopes, so that their rounding is not multiplied by the
  // distance from the origin.
  double cs = 0, ct = 0;
  for (size_t i = 0; i < Count; ++i) {
    cs += Corners[i].S / Width - r0[0] * x[i] - r0[1] * y[i];
    ct += Corners[i].T / Height - r1[0] * x[i] - r1[1] * y[i];
  }
  r0[2] = static_cast<float>(cs / n);
  r1[2] = static_cast<float>(ct / n);
  for (const float* r : {r0, r1})
    for (int k = 0; k < 3; ++k)
      if (!Finite(r[k])) return TBrushDefFit{};
  fit.Fitted = true;
  fit.Error = BrushDefError(N, fit.Matrix, Width, Height, Corners, Count);
  return fit;
}

}  // namespace texfit
