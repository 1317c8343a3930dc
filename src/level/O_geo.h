// The polygon geometry that both the level model (one mesh per sector) and the brush model (one
// mesh per brush) are made of. Lists are 0-based and index-checked: a bad index raises EListError
// with the list's own message, which is what users see for a level that refers to a missing item.
//
// Ownership is in the types: TBaseList<T, std::unique_ptr<T>> owns its items and releases them
// with itself; TBaseList<T, T*> only refers to items that somebody else owns. An owning list
// makes its items in blocks of its own (AddNew), as a level holds a great many small ones.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "level/BlockAlloc.h"
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

// The storage of a list's items: a list that owns them makes them in its pool; a list that refers
// to items owned elsewhere has nothing but the references.
template <class T, class Holder>
class TListStore {
 protected:
  static constexpr bool Owning = false;
};
template <class T>
class TListStore<T, std::unique_ptr<T>> {
 protected:
  static constexpr bool Owning = true;
  TItemPool<T> pool_;
};

template <class T, class Holder>
class TBaseList : private TListStore<T, Holder> {
  using Store = TListStore<T, Holder>;

 public:
  TBaseList() = default;
  TBaseList(TBaseList&&) noexcept = default;
  TBaseList& operator=(TBaseList&& Other) noexcept {
    if (this != &Other) {
      Clear();
      Store::operator=(std::move(Other));
      items_ = std::move(Other.items_);
    }
    return *this;
  }
  TBaseList(const TBaseList&) = delete;
  TBaseList& operator=(const TBaseList&) = delete;
  ~TBaseList() { Clear(); }

  int Count() const {
    if constexpr (Store::Owning)
      if (items_.empty()) return static_cast<int>(this->pool_.HeadUsed());
    return static_cast<int>(items_.size());
  }
  T* Items(int Index) const {
    if (Index < 0 || Index >= Count())
      throw rtl::EListError(rtl::Format(TListMessage<T>::Text, Index));
    return At(static_cast<size_t>(Index));
  }
  T* operator[](int Index) const { return Items(Index); }
  // Appends and returns the new item's index. An owning list takes the item over.
  int Add(Holder Item) {
    if constexpr (Store::Owning) {
      if (items_.empty() && !this->pool_.Empty()) ListItems();
      items_.room();  // so that the item is never adopted and then lost
      items_.push_back(this->pool_.Adopt(std::move(Item)));
    } else {
      items_.push_back(Item);
    }
    return Count() - 1;
  }
  // An owning list's new item, made in the list's own storage from the arguments and appended.
  template <class... Args>
  T* AddNew(Args&&... args) {
    static_assert(Store::Owning, "only a list that owns its items makes them");
    if (items_.empty()) {
      if (this->pool_.Empty() || this->pool_.HeadHasRoom(1))
        return this->pool_.Make(std::forward<Args>(args)...);
      ListItems();
    }
    items_.room();
    T* item = this->pool_.Make(std::forward<Args>(args)...);
    items_.push_back(item);
    return item;
  }
  // Empties the list; an owning list releases its items, last to first.
  void Clear() {
    items_.clear();
    if constexpr (Store::Owning) this->pool_.Clear();
  }
  // Room for n items in all, so that building a list of known length neither regrows the list
  // nor, for an owning list, makes its items in more than one block.
  void Reserve(size_t n) {
    if constexpr (Store::Owning) {
      const size_t count = static_cast<size_t>(Count());
      if (n <= count) return;
      if (items_.empty()) {
        if (this->pool_.Empty()) {
          this->pool_.Reserve(n);  // one block for all: the list needs no references
          return;
        }
        if (this->pool_.HeadHasRoom(n - count)) return;
        ListItems();
      }
      this->pool_.Reserve(n - count);
    }
    items_.reserve(n);
  }

  // As Reserve(n), the room taken from RefStore when the list has none yet; RefStore must
  // outlive the list's items and references (a mesh's store, for its own surfaces).
  void Reserve(size_t n, TRefStore& RefStore) {
    if constexpr (Store::Owning) {
      if (this->pool_.Empty()) return this->pool_.Borrow(n, RefStore);
      Reserve(n);
    } else {
      items_.reserve(n, RefStore);
    }
  }

  // The mean of the positions: running sums in Singles, in list order, then each divided by Count.
  // An empty list has no centre; it yields (0, 0, 0) rather than dividing zero by zero.
  void GetCentre(TVector3& M) const {
    const size_t count = static_cast<size_t>(Count());
    if (count == 0) {
      M = TVector3{};
      return;
    }
    float sx = 0, sy = 0, sz = 0;
    for (size_t i = 0; i < count; ++i) {
      const T* v = At(i);
      sx = sx + v->X;
      sy = sy + v->Y;
      sz = sz + v->Z;
    }
    double n = static_cast<double>(count);
    M = TVector3{static_cast<float>(sx / n), static_cast<float>(sy / n),
                 static_cast<float>(sz / n)};
  }

 private:
  // An owning list whose items all lie in order in its pool's one block of room keeps no
  // references (a surface's few texture vertices, a brush's vertices): item i is the block's
  // item i. The references are listed once the items outgrow that block or one is handed over.
  T* At(size_t i) const {
    if constexpr (Store::Owning)
      if (items_.empty()) return this->pool_.HeadItem(i);
    return items_[i];
  }
  void ListItems() {
    const size_t count = this->pool_.HeadUsed();
    items_.reserve(count < 2 ? 4 : 2 * count);
    for (size_t i = 0; i < count; ++i) items_.push_back(this->pool_.HeadItem(i));
  }

  TRefArray<T> items_;
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
  // Of a level's surface: the material's index (-1: none), the face flags (2: translucent) and
  // the geometry mode (0: not drawn). Read as far as they are numbers; 0 otherwise.
  int MaterialIndex = -1;
  int FaceFlags = 0;
  int GeoMode = 0;
  // Of a face the brush conversion made: what the game does with it (a TFaceRole of
  // brush/FaceRoles: 0 an ordinary wall) and what its texture name takes after the material's
  // image name, so that each use of a material names a shader of its own. The suffix is one of
  // a few texts of static storage: a level's faces are many, and a string each would cost more
  // than the suffix says.
  unsigned char Role = 0;
  const char* TextureSuffix = "";

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

// What a brush stands for: a slab behind a solid surface, a see-through surface the game draws
// between two sectors (its back face may carry a material too), or a box of a sealed level's
// structural shell (no surface of the level; hidden on every face), or the space of an underwater
// sector (every face in the water's volume shader; detail).
enum class TBrushKind : unsigned char { Slab, DrawnAdjoin, ShellBox, WaterVolume };

// What a mesh that is a brush was made from and how the map keeps it; a sector's is unused.
struct TBrushRecord {
  TBrushKind Kind = TBrushKind::Slab;
  // The level surface a slab or drawn adjoin was made from; valid while the level lives.
  const TSurface* Source = nullptr;
  // Solid for the player but no part of sealing or vis: every face carries the detail contents.
  bool Detail = false;
};

// A sector of a level or a brush: a group of surfaces, and the vertices that the mesh owns.
class T3DMesh {
 public:
  TOwnedVertexList Vertices;
  TSurfaceList Surfaces;
  TBrushRecord Brush;

  T3DMesh() = default;
  T3DMesh(T3DMesh&&) noexcept = default;
  // What this mesh held is released before the store it took room from.
  T3DMesh& operator=(T3DMesh&& Other) noexcept {
    if (this != &Other) {
      Release();
      Vertices = std::move(Other.Vertices);
      Surfaces = std::move(Other.Surfaces);
      Brush = Other.Brush;
      refs_ = std::move(Other.refs_);
      ownedSurfaces_ = std::move(Other.ownedSurfaces_);
    }
    return *this;
  }
  T3DMesh(const T3DMesh&) = delete;
  T3DMesh& operator=(const T3DMesh&) = delete;
  ~T3DMesh() { Release(); }

  // A new surface owned by this mesh, appended to Surfaces.
  TSurface* AddNewSurface();
  // Appends a surface that somebody else owns (a level owns the surfaces its sectors list, so
  // that a surface listed by no sector or by two is still released exactly once).
  int AddSurface(TSurface* Surface) { return Surfaces.Add(Surface); }
  // Room for what a brush of known shape will hold. CornerCount: the corners its surfaces will
  // list in all; TXVertexCount: the texture vertices of its TXSurfaceCount surfaces that have
  // them. With corners, the vertices, the surfaces and those lists are kept in one block of the
  // mesh (see ReserveCorners).
  void Reserve(size_t VertexCount, size_t SurfaceCount, size_t CornerCount = 0,
               size_t TXVertexCount = 0, size_t TXSurfaceCount = 0) {
    if (CornerCount == 0) {
      Vertices.Reserve(VertexCount);
      Surfaces.Reserve(SurfaceCount);
      ownedSurfaces_.Reserve(SurfaceCount);  // room for that many more of its own
      return;
    }
    static_assert(sizeof(TTXVertex) % sizeof(void*) == 0, "texture vertices fill whole slots");
    refs_.Reserve(CornerCount + SurfaceCount +
                  TRefStore::Slots(TItemPool<TVertex>::BlockBytes(VertexCount)) +
                  TRefStore::Slots(TItemPool<TSurface>::BlockBytes(SurfaceCount)) +
                  TXSurfaceCount * TRefStore::Slots(TItemPool<TTXVertex>::BlockBytes(0)) +
                  TXVertexCount * sizeof(TTXVertex) / sizeof(void*));
    Vertices.Reserve(static_cast<size_t>(Vertices.Count()) + VertexCount, refs_);
    Surfaces.Reserve(static_cast<size_t>(Surfaces.Count()) + SurfaceCount, refs_);
    ownedSurfaces_.Borrow(SurfaceCount, refs_);
  }
  // Room for Corners corners of Surface, a surface this mesh made (AddNewSurface), and as many
  // texture vertices when TXVertices is set: kept in the mesh's store, released with the mesh.
  void ReserveCorners(TSurface& Surface, size_t Corners, bool TXVertices) {
    Surface.Vertices.Reserve(Corners, refs_);
    if (TXVertices) Surface.TXVertices.Reserve(Corners, refs_);
  }
  // A new vertex owned by this mesh.
  TVertex* AddNewVertex(double X, double Y, double Z);

 private:
  // Releases the surfaces and the vertices, then the store whose room they may use.
  void Release() {
    Surfaces.Clear();
    ownedSurfaces_.Clear();
    Vertices.Clear();
    refs_.Clear();
  }

  // Room that Surfaces, Vertices and this mesh's own surfaces and their lists borrow.
  TRefStore refs_;
  // The surfaces this mesh made, released with it; Surfaces lists them in order.
  TItemPool<TSurface> ownedSurfaces_;
};
