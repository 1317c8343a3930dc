#include "level/O_geo.h"

int TSurface::AddVertex(TVertex* Vertex, const TTXVertex* TXVertex) {
  int index = Vertices.Add(Vertex);
  if (TXVertex)
    TXVertices.AddNew(TXVertex->U, TXVertex->V);
  else
    TXVertices.AddNew(0, 0);
  return index;
}

void TSurface::GetNormal(TVector3& N) {
  if (!VectorIsNonZero(Normal)) {
    TVector3 b = Vertices.Items(1)->Position();
    TVector3 m;
    GetCentre(m);
    TVector3 a = Vertices.Items(0)->Position();
    PlaneNormal(a, m, b, Normal);
  }
  N = Normal;
}

TSurface* T3DMesh::AddNewSurface() {
  TSurface* s = ownedSurfaces_.Make();
  Surfaces.Add(s);
  return s;
}

TVertex* T3DMesh::AddNewVertex(double X, double Y, double Z) { return Vertices.AddNew(X, Y, Z); }
