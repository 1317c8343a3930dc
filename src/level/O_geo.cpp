#include "level/O_geo.h"

int TSurface::AddVertex(TVertex* Vertex, const TTXVertex* TXVertex) {
  int index = Vertices.Add(Vertex);
  TXVertices.Add(TXVertex ? std::make_unique<TTXVertex>(TXVertex->U, TXVertex->V)
                          : std::make_unique<TTXVertex>(0, 0));
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
  TSurface* s = ownedSurfaces_.Items(ownedSurfaces_.Add(std::make_unique<TSurface>()));
  Surfaces.Add(s);
  return s;
}

TVertex* T3DMesh::AddNewVertex(double X, double Y, double Z) {
  return Vertices.Items(Vertices.Add(std::make_unique<TVertex>(X, Y, Z)));
}
