// Global memory handles and the memory stream over them.
#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/com/com.h"

namespace {

// A global memory block; the handle is the address of this record.
struct GlobalBlock {
  static constexpr std::uint32_t kMagic = 0x474C4F42;  // "GLOB"
  std::uint32_t magic = kMagic;
  std::size_t size = 0;
  void* data = nullptr;
  std::atomic<int> locks{0};
};

GlobalBlock* BlockOf(HGLOBAL h) {
  auto* b = reinterpret_cast<GlobalBlock*>(h);
  return b && b->magic == GlobalBlock::kMagic ? b : nullptr;
}

}  // namespace

namespace {
// Large blocks are aligned to huge pages and offered them: filling a block of hundreds of
// megabytes then costs a few hundred page faults instead of one per 4 KB.
constexpr SIZE_T kHugePage = 2u * 1024 * 1024;
constexpr SIZE_T kLargeBlock = 8 * kHugePage;

void* AllocateData(SIZE_T bytes, bool zero) {
  if (bytes >= kLargeBlock) {
    void* data = nullptr;
    if (posix_memalign(&data, kHugePage, bytes) != 0) return nullptr;
    madvise(data, bytes, MADV_HUGEPAGE);
    if (zero) std::memset(data, 0, bytes);
    return data;
  }
  return zero ? std::calloc(bytes ? bytes : 1, 1) : std::malloc(bytes ? bytes : 1);
}
}  // namespace

HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
  auto* b = new (std::nothrow) GlobalBlock;
  if (!b) return nullptr;
  b->data = AllocateData(dwBytes, (uFlags & GMEM_ZEROINIT) != 0);
  if (!b->data) {
    delete b;
    return nullptr;
  }
  b->size = dwBytes;
  return reinterpret_cast<HGLOBAL>(b);
}

HGLOBAL GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags) {
  GlobalBlock* b = BlockOf(hMem);
  if (!b) return nullptr;
  void* data = std::realloc(b->data, dwBytes ? dwBytes : 1);
  if (!data) return nullptr;
  if ((uFlags & GMEM_ZEROINIT) && dwBytes > b->size) {
    std::memset(static_cast<BYTE*>(data) + b->size, 0, dwBytes - b->size);
  }
  b->data = data;
  b->size = dwBytes;
  return hMem;
}

LPVOID GlobalLock(HGLOBAL hMem) {
  GlobalBlock* b = BlockOf(hMem);
  if (!b) return nullptr;
  ++b->locks;
  return b->data;
}

BOOL GlobalUnlock(HGLOBAL hMem) {
  GlobalBlock* b = BlockOf(hMem);
  if (!b || b->locks.load() == 0) return FALSE;
  return --b->locks > 0;
}

SIZE_T GlobalSize(HGLOBAL hMem) {
  GlobalBlock* b = BlockOf(hMem);
  return b ? b->size : 0;
}

HGLOBAL GlobalFree(HGLOBAL hMem) {
  GlobalBlock* b = BlockOf(hMem);
  if (!b) return hMem;
  b->magic = 0;
  std::free(b->data);
  delete b;
  return nullptr;
}

namespace {

// The block and its logical size, shared by a stream and its clones.
struct SharedBlock {
  std::mutex mutex;
  HGLOBAL handle = nullptr;
  bool deleteOnRelease = false;
  std::size_t used = 0;
  std::atomic<int> refs{1};
  void AddRef() { ++refs; }
  void Release() {
    if (--refs == 0) {
      if (deleteOnRelease) GlobalFree(handle);
      delete this;
    }
  }
};

class MemoryStream final : public platform::com::ComObject<IStream> {
 public:
  explicit MemoryStream(SharedBlock* block, std::size_t pos = 0) : block_(block), pos_(pos) {}
  ~MemoryStream() override { block_->Release(); }

  STDMETHODIMP Read(void* pv, ULONG cb, ULONG* pcbRead) override {
    if (!pv && cb) return STG_E_INVALIDPOINTER;
    std::lock_guard lock(block_->mutex);
    std::size_t avail = pos_ < block_->used ? block_->used - pos_ : 0;
    std::size_t n = cb < avail ? cb : avail;
    if (n) std::memcpy(pv, static_cast<BYTE*>(GlobalLock(block_->handle)) + pos_, n);
    if (n) GlobalUnlock(block_->handle);
    pos_ += n;
    if (pcbRead) *pcbRead = static_cast<ULONG>(n);
    return S_OK;
  }
  STDMETHODIMP Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
    if (!pv && cb) return STG_E_INVALIDPOINTER;
    std::lock_guard lock(block_->mutex);
    if (pcbWritten) *pcbWritten = 0;
    std::size_t end = pos_ + cb;
    if (end > block_->used && !Grow(end)) return STG_E_MEDIUMFULL;
    if (cb) {
      std::memcpy(static_cast<BYTE*>(GlobalLock(block_->handle)) + pos_, pv, cb);
      GlobalUnlock(block_->handle);
    }
    pos_ = end;
    if (pcbWritten) *pcbWritten = cb;
    return S_OK;
  }
  STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPos) override {
    std::lock_guard lock(block_->mutex);
    std::int64_t base;
    switch (origin) {
      case STREAM_SEEK_SET: base = 0; break;
      case STREAM_SEEK_CUR: base = static_cast<std::int64_t>(pos_); break;
      case STREAM_SEEK_END: base = static_cast<std::int64_t>(block_->used); break;
      default: return STG_E_INVALIDFUNCTION;
    }
    std::int64_t target = base + move.QuadPart;
    if (target < 0) return STG_E_INVALIDFUNCTION;
    pos_ = static_cast<std::size_t>(target);
    if (newPos) newPos->QuadPart = pos_;
    return S_OK;
  }
  STDMETHODIMP SetSize(ULARGE_INTEGER size) override {
    std::lock_guard lock(block_->mutex);
    if (size.QuadPart > 0xFFFFFFFFull) return STG_E_MEDIUMFULL;
    auto n = static_cast<std::size_t>(size.QuadPart);
    if (n > block_->used) {
      if (!Grow(n)) return STG_E_MEDIUMFULL;
    } else {
      GlobalReAlloc(block_->handle, n, 0);
      block_->used = n;
    }
    return S_OK;
  }
  STDMETHODIMP CopyTo(IStream* target, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) override {
    if (!target) return STG_E_INVALIDPOINTER;
    std::uint64_t left = cb.QuadPart, read = 0, written = 0;
    BYTE buf[4096];
    while (left) {
      ULONG chunk = static_cast<ULONG>(left < sizeof buf ? left : sizeof buf), got = 0, put = 0;
      Read(buf, chunk, &got);
      if (!got) break;
      read += got;
      HRESULT hr = target->Write(buf, got, &put);
      written += put;
      if (FAILED(hr)) return hr;
      left -= got;
    }
    if (pcbRead) pcbRead->QuadPart = read;
    if (pcbWritten) pcbWritten->QuadPart = written;
    return S_OK;
  }
  STDMETHODIMP Commit(DWORD) override { return S_OK; }
  STDMETHODIMP Revert() override { return S_OK; }
  STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  STDMETHODIMP Stat(STATSTG* st, DWORD) override {
    if (!st) return STG_E_INVALIDPOINTER;
    std::lock_guard lock(block_->mutex);
    std::memset(st, 0, sizeof *st);
    st->type = STGTY_STREAM;
    st->cbSize.QuadPart = block_->used;
    st->grfMode = STGM_READWRITE;
    return S_OK;
  }
  STDMETHODIMP Clone(IStream** out) override {
    if (!out) return STG_E_INVALIDPOINTER;
    block_->AddRef();
    *out = new (std::nothrow) MemoryStream(block_, pos_);
    if (!*out) {
      block_->Release();
      return E_OUTOFMEMORY;
    }
    return S_OK;
  }

  HGLOBAL Handle() const { return block_->handle; }

 protected:
  void* QueryMore(REFIID riid) override {
    return riid == IID_ISequentialStream ? static_cast<ISequentialStream*>(this) : nullptr;
  }

 private:
  bool Grow(std::size_t needed) {
    // The block is kept exactly as large as the stream, as GlobalSize users expect.
    if (needed > GlobalSize(block_->handle) && !GlobalReAlloc(block_->handle, needed, GMEM_ZEROINIT)) return false;
    // Bytes between the old end and a write position past it read as zeros.
    BYTE* data = static_cast<BYTE*>(GlobalLock(block_->handle));
    if (needed > block_->used) std::memset(data + block_->used, 0, needed - block_->used);
    GlobalUnlock(block_->handle);
    block_->used = needed;
    return true;
  }

  SharedBlock* block_;
  std::size_t pos_;
};

}  // namespace

HRESULT CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, LPSTREAM* ppstm) {
  if (!ppstm) return E_INVALIDARG;
  *ppstm = nullptr;
  auto* block = new (std::nothrow) SharedBlock;
  if (!block) return E_OUTOFMEMORY;
  if (hGlobal) {
    if (!BlockOf(hGlobal)) {
      delete block;
      return E_INVALIDARG;
    }
    block->handle = hGlobal;
    block->used = GlobalSize(hGlobal);
  } else {
    block->handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 0);
    if (!block->handle) {
      delete block;
      return E_OUTOFMEMORY;
    }
  }
  block->deleteOnRelease = fDeleteOnRelease != FALSE;
  *ppstm = new (std::nothrow) MemoryStream(block);
  if (!*ppstm) {
    block->deleteOnRelease = false;
    block->Release();
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT GetHGlobalFromStream(LPSTREAM pstm, HGLOBAL* phglobal) {
  if (!pstm || !phglobal) return E_INVALIDARG;
  auto* stream = dynamic_cast<MemoryStream*>(pstm);
  if (!stream) return E_INVALIDARG;
  *phglobal = stream->Handle();
  return S_OK;
}
