// The block allocation under the geometry model: a level holds hundreds of thousands of small
// items and short lists of references, and one heap block each would cost more than the items.
// TRefStore hands out room that is released all at once, TItemPool makes items in blocks and
// destroys them, TRefArray is a compact array of references whose room may come from a store.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

// Room that a mesh or a level hands to the lists of its own surfaces (references, and the blocks
// of small item pools): a brush's faces hold a few corners each, and one block per mesh costs far
// less than a heap block per list. Room is taken, never given back: it is released with the
// store, all at once, after the items in it are destroyed by their owners.
class TRefStore {
 public:
  TRefStore() = default;
  TRefStore(TRefStore&& Other) noexcept : head_(Other.head_) { Other.head_ = nullptr; }
  TRefStore& operator=(TRefStore&& Other) noexcept {
    if (this != &Other) {
      Clear();
      head_ = Other.head_;
      Other.head_ = nullptr;
    }
    return *this;
  }
  TRefStore(const TRefStore&) = delete;
  TRefStore& operator=(const TRefStore&) = delete;
  ~TRefStore() { Clear(); }

  // One block with room for Count more references, made now when the newest block has less.
  void Reserve(size_t Count) {
    if (Count > 0x7fffffffu) throw std::bad_alloc();  // more than a list can index
    if (Count == 0 || (head_ && head_->Used + Count <= head_->Capacity)) return;
    void* memory = ::operator new(sizeof(TBlock) + Count * sizeof(void*));
    head_ = new (memory) TBlock{head_, static_cast<uint32_t>(Count), 0};
  }
  // Room for Count references, in the newest block or in a new one: at least 16, doubling up to
  // 8192, so that a level's many lists take a few blocks.
  template <class T>
  T** Take(size_t Count) {
    if (!head_ || head_->Used + Count > head_->Capacity) {
      const size_t grown = !head_ ? 16 : head_->Capacity >= 4096 ? 8192 : 2 * head_->Capacity;
      Reserve(Count < grown ? grown : Count);
    }
    char* room = reinterpret_cast<char*>(head_ + 1) + head_->Used * sizeof(void*);
    head_->Used += static_cast<uint32_t>(Count);
    return reinterpret_cast<T**>(room);
  }
  // Room for Bytes bytes, aligned as a pointer, for the blocks of an item pool (TItemPool::Borrow).
  void* TakeBytes(size_t Bytes) { return Take<void>(Slots(Bytes)); }
  // How many references' room Bytes bytes take.
  static constexpr size_t Slots(size_t Bytes) {
    return (Bytes + sizeof(void*) - 1) / sizeof(void*);
  }
  void Clear() {
    while (head_) {
      TBlock* block = head_;
      head_ = block->Previous;
      ::operator delete(block);
    }
  }

 private:
  struct TBlock {
    TBlock* Previous;
    uint32_t Capacity;
    uint32_t Used;
  };
  static_assert(sizeof(TBlock) % alignof(void*) == 0, "the room after a block is aligned");

  TBlock* head_ = nullptr;
};

// Where an owning list keeps the items it makes: blocks of room for many items, chained from
// the newest, so that a level's hundreds of thousands of small items cost a few hundred
// allocations. Items never move while they live (lists of other items point at them), each is
// destroyed exactly once, last made first, and the blocks are released with them. An item made
// elsewhere and handed over (std::unique_ptr) gets a block of its own that refers to it.
template <class T>
class TItemPool {
 public:
  TItemPool() = default;
  TItemPool(TItemPool&& Other) noexcept : head_(Other.head_) { Other.head_ = nullptr; }
  TItemPool& operator=(TItemPool&& Other) noexcept {
    if (this != &Other) {
      Clear();
      head_ = Other.head_;
      Other.head_ = nullptr;
    }
    return *this;
  }
  TItemPool(const TItemPool&) = delete;
  TItemPool& operator=(const TItemPool&) = delete;
  ~TItemPool() { Clear(); }

  template <class... Args>
  T* Make(Args&&... args) {
    if (!head_ || head_->Used >= head_->Room()) Push(head_ ? Grow(head_->Room()) : FirstBlock);
    T* item = new (head_->Slot(head_->Used)) T(std::forward<Args>(args)...);
    ++head_->Used;
    return item;
  }
  T* Adopt(std::unique_ptr<T> Item) {
    void* memory = ::operator new(sizeof(TBlock) + sizeof(T*));
    head_ = new (memory) TBlock{head_, 0, 1};
    *head_->External() = Item.release();
    return *head_->External();
  }
  // Room for Count more items in one block, made now when the newest block has less.
  void Reserve(size_t Count) {
    if (Count == 0) return;
    if (Count > 0x7fffffffu) throw std::bad_alloc();  // more than a list can index
    if (head_ && head_->Used + Count <= head_->Room()) return;
    Push(Count);
  }
  // As Reserve, the block's memory taken from Store, which releases it: Store must outlive the
  // pool's items. The pool still destroys them.
  void Borrow(size_t Count, TRefStore& Store) {
    static_assert(alignof(T) <= alignof(void*), "a store's room is aligned as a pointer");
    if (Count == 0) return;
    if (Count > 0x7fffffffu) throw std::bad_alloc();
    if (head_ && head_->Used + Count <= head_->Room()) return;
    void* memory = Store.TakeBytes(BlockBytes(Count));
    head_ = new (memory) TBlock{head_, static_cast<uint32_t>(Count) | BorrowedBit, 0};
  }
  // The bytes of a block of room for Count items.
  static constexpr size_t BlockBytes(size_t Count) { return Offset + Count * sizeof(T); }
  // The newest block: whether it has room for n more items, how many it holds, and its item i.
  bool Empty() const { return head_ == nullptr; }
  bool HeadHasRoom(size_t n) const { return head_ && head_->Used + n <= head_->Room(); }
  size_t HeadUsed() const { return head_ ? head_->Used : 0; }
  T* HeadItem(size_t i) const { return head_->Slot(i); }
  void Clear() {
    while (head_) {
      TBlock* block = head_;
      if (block->Capacity == 0) {
        delete *block->External();
      } else {
        while (block->Used > 0) block->Slot(--block->Used)->~T();
      }
      head_ = block->Previous;
      if (!block->Borrowed()) ::operator delete(block);
    }
  }

 private:
  static constexpr uint32_t BorrowedBit = 0x80000000u;
  // A block of room for Capacity items, Used of them made; or, with Capacity 0, the one item
  // handed over, referred to from where the room would begin. The top bit of Capacity marks a
  // block whose memory a store holds.
  struct TBlock {
    TBlock* Previous;
    uint32_t Capacity;
    uint32_t Used;
    uint32_t Room() const { return Capacity & ~BorrowedBit; }
    bool Borrowed() const { return (Capacity & BorrowedBit) != 0; }
    T* Slot(size_t i) const {
      return reinterpret_cast<T*>(reinterpret_cast<char*>(const_cast<TBlock*>(this)) + Offset) + i;
    }
    T** External() { return reinterpret_cast<T**>(this + 1); }
  };
  static constexpr size_t Offset = (sizeof(TBlock) + alignof(T) - 1) / alignof(T) * alignof(T);
  static constexpr size_t FirstBlock = 4;
  // Doubling up to blocks of about 64 KiB.
  static size_t Grow(size_t Capacity) {  // at most 65536, well within the block's counts
    const size_t limit = sizeof(T) >= 65536 / 8 ? 8 : 65536 / sizeof(T);
    return Capacity >= limit / 2 ? limit : (Capacity < FirstBlock ? FirstBlock : 2 * Capacity);
  }
  void Push(size_t Capacity) {
    void* memory = ::operator new(Offset + Capacity * sizeof(T));
    head_ = new (memory) TBlock{head_, static_cast<uint32_t>(Capacity), 0};
  }

  TBlock* head_ = nullptr;
};

// The references a list holds, in order: a pointer and two 32-bit counts, as a level has
// hundreds of thousands of short lists (a surface's corners) and every byte of each counts.
// The room is the array's own, or borrowed from a store that outlives it (the top bit of the
// capacity says which); a borrowed room that is outgrown is left to its store.
template <class T>
class TRefArray {
 public:
  TRefArray() = default;
  TRefArray(TRefArray&& Other) noexcept
      : data_(Other.data_), size_(Other.size_), capacity_(Other.capacity_) {
    Other.data_ = nullptr;
    Other.size_ = Other.capacity_ = 0;
  }
  TRefArray& operator=(TRefArray&& Other) noexcept {
    if (this != &Other) {
      Release();
      data_ = Other.data_;
      size_ = Other.size_;
      capacity_ = Other.capacity_;
      Other.data_ = nullptr;
      Other.size_ = Other.capacity_ = 0;
    }
    return *this;
  }
  TRefArray(const TRefArray&) = delete;
  TRefArray& operator=(const TRefArray&) = delete;
  ~TRefArray() { Release(); }

  size_t size() const { return size_; }
  size_t capacity() const { return capacity_ & ~Borrowed; }
  bool empty() const { return size_ == 0; }
  T* operator[](size_t i) const { return data_[i]; }
  T* const* begin() const { return data_; }
  T* const* end() const { return data_ + size_; }
  void clear() { size_ = 0; }
  // Room for n references in all; more than a list's int index can reach is refused as the
  // allocation failure it would be.
  void reserve(size_t n) {
    if (n <= capacity()) return;
    if (n > 0x7fffffffu) throw std::bad_alloc();
    T** grown = new T*[n];
    if (size_ > 0) std::memcpy(grown, data_, size_ * sizeof(T*));
    Release();
    data_ = grown;
    capacity_ = static_cast<uint32_t>(n);
  }
  // Room for n references in all, taken from Store when the array has no room yet.
  void reserve(size_t n, TRefStore& Store) {
    if (capacity_ != 0 || n == 0) return reserve(n);
    if (n > 0x7fffffffu) throw std::bad_alloc();
    data_ = Store.Take<T>(n);
    capacity_ = static_cast<uint32_t>(n) | Borrowed;
  }
  // Room for one more, growing by doubling; made before an item is, so that appending the item
  // cannot fail after it exists.
  void room() {
    if (size_ == capacity()) reserve(size_ == 0 ? 4 : 2 * size_);
  }
  void push_back(T* Item) {
    room();
    data_[size_++] = Item;
  }

 private:
  static constexpr uint32_t Borrowed = 0x80000000u;
  void Release() {
    if (!(capacity_ & Borrowed)) delete[] data_;
  }

  T** data_ = nullptr;
  uint32_t size_ = 0;
  uint32_t capacity_ = 0;
};
