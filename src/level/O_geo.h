// The polygon geometry that both the level model (one mesh per sector) and the brush model (one
// mesh per brush) are made of. Lists are 0-based and index-checked: a bad index raises EListError
// with the list's own message, which is what users see for a level that refers to a missing item.
//
// Ownership is in the types: TBaseList<T, std::unique_ptr<T>> owns its items and releases them
// with itself; TBaseList<T, T*> only refers to items that somebody else owns.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "level/P_vec.h"
#include "rtl/SysUtils.h"

class TVertex {
 public:
  // Each coordinate is stored as the nearest Single.
  TVertex(double X, double Y, double Z)
      : X(static_cast<float>(X)), Y(static_cast<float>(Y)), Z(static_cast<float>(Z)) {}
  TVector3 Position() const { return TVector3{X, Y, Z}; }
  float X, Y, Z;
};

class TTXVertex {
 public:
  TTXVertex(double U, double V) : U(static_cast<float>(U)), V(static_cast<float>(V)) {}
  float U, V;
};

class TSurface;
class T3DMesh;

template <class T>
struct TListMessage;
template <>
struct TListMessage<TVertex> {
  static constexpr const char* Text = "Vertex Index is out of bounds: %d";
};
template <>
struct TListMessage<TTXVertex> {
  static constexpr const char* Text = "Texture Vertex Index is out of bounds: %d";
};
template <>
struct TListMessage<TSurface> {
  static constexpr const char* Text = "Surface Index is out of bounds: %d";
};
template <>
struct TListMessage<T3DMesh> {
  static constexpr const char* Text = "Sector Index is out of bounds: %d";
};

template <class T, class Holder>
class TBaseList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  T* Items(int Index) const {
    if (Index < 0 || Index >= Count())
      throw rtl::EListError(rtl::Format(TListMessage<T>::Text, Index));
    return &*items_[static_cast<size_t>(Index)];
  }
  T* operator[](int Index) const { return Items(Index); }
  // Appends and returns the new item's index.
  int Add(Holder Item) {
    items_.push_back(std::move(Item));
    return Count() - 1;
  }
  // Empties the list; an owning list releases its items, last to first.
  void Clear() {
    while (!items_.empty()) items_.pop_back();
  }
  void Reserve(size_t n) { items_.reserve(n); }

  // The mean of the positions: running sums in Singles, in list order, then each divided by Count.
  // An empty list has no centre; it yields (0, 0, 0) rather than dividing zero by zero.
  void GetCentre(TVector3& M) const {
    if (items_.empty()) {
      M = TVector3{};
      return;
    }
    float sx = 0, sy = 0, sz = 0;
    for (const Holder& v : items_) {
      sx = sx + v->X;
      sy = sy + v->Y;
      sz = sz + v->Z;
    }
    double n = static_cast<double>(items_.size());
    M = TVector3{static_cast<float>(sx / n), static_cast<float>(sy / n),
                 static_cast<float>(sz / n)};
  }

 private:
  std::vector<Holder> items_;
};

// Lists that refer to items owned elsewhere.
using TVertexList = TBaseList<TVertex, TVertex*>;
using TSurfaceList = TBaseList<TSurface, TSurface*>;
// Lists that own their items.
using TOwnedVertexList = TBaseList<TVertex, std::unique_ptr<TVertex>>;
using TTXVertexList = TBaseList<TTXVertex, std::unique_ptr<TTXVertex>>;
using TOwnedSurfaceList = TBaseList<TSurface, std::unique_ptr<TSurface>>;
using T3DMeshList = TBaseList<T3DMesh, std::unique_ptr<T3DMesh>>;

// A polygon. Its corners are shared with the vertex list of its owner; its texture vertices are
// private copies, one per corner added with AddVertex.
class TSurface {
 public:
  TVertexList Vertices;
  TTXVertexList TXVertices;
  TVector3 Normal;  // all zero: not computed yet
  int Adjoin = 0;   // -1: solid
  std::string MaterialName;
  int Flags = 0;
  // True when a corner has no texture vertex of its own (a level's "-1"): its (0, 0) is a stand-in
  // that texture alignment must not fit to.
  bool TXVertexMissing = false;

  // Appends Vertex (shared) and a copy of TXVertex, or (0, 0) when it is null; returns the
  // corner's index in Vertices.
  int AddVertex(TVertex* Vertex, const TTXVertex* TXVertex);
  void GetCentre(TVector3& M) const { Vertices.GetCentre(M); }
  // Room for corners added with AddVertex, so that building a known polygon does not regrow.
  void Reserve(size_t Corners) {
    Vertices.Reserve(Corners);
    TXVertices.Reserve(Corners);
  }
  // Normal, computed from corners 0 and 1 and the centre when it is still all zero: it points to
  // the side from which the corners appear clockwise. Fewer than two corners raise the vertex
  // list's error for index 1.
  void GetNormal(TVector3& N);
};

// A sector of a level or a brush: a group of surfaces, and the vertices that the mesh owns.
class T3DMesh {
 public:
  TOwnedVertexList Vertices;
  TSurfaceList Surfaces;

  // A new surface owned by this mesh, appended to Surfaces.
  TSurface* AddNewSurface();
  // Appends a surface that somebody else owns (a level owns the surfaces its sectors list, so
  // that a surface listed by no sector or by two is still released exactly once).
  int AddSurface(TSurface* Surface) { return Surfaces.Add(Surface); }
  // Room for what a brush of known shape will hold.
  void Reserve(size_t VertexCount, size_t SurfaceCount) {
    Vertices.Reserve(VertexCount);
    Surfaces.Reserve(SurfaceCount);
    ownedSurfaces_.Reserve(SurfaceCount);
  }
  // A new vertex owned by this mesh.
  TVertex* AddNewVertex(double X, double Y, double Z);

 private:
  TOwnedSurfaceList ownedSurfaces_;
};
