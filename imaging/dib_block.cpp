#include "imaging/dib_block.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include <sys/mman.h>
#include <unistd.h>

namespace pictavo {
namespace {

constexpr size_t kPixelAlignment = 16;

size_t PixelOffset() {
    const size_t headerBytes = sizeof(BitmapInfo) + sizeof(LogPalette);
    return (headerBytes + kPixelAlignment - 1) / kPixelAlignment * kPixelAlignment;
}

bool IsSupportedDepth(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Picture memory comes from 2 MB-aligned regions the kernel backs with huge pages: on some
// virtual machines first-touch page faults of fresh 4 KB pages cost more than filling the
// pictures, and most pictures (recorded frames) are far smaller than one huge page.
//
// Blocks are bump-allocated from the current region; a region counts its live blocks and
// is unmapped when the last one goes. A recording allocates its frames in sequence and frees
// them together, so its regions go away whole. Freed space is never reused while other
// blocks of its region live, so deleting single pictures while editing would pin memory;
// the pages wholly inside a block freed from an older region are therefore given back to the
// kernel at once, leaving address space and at most two pages per freed block. Pictures
// freed while their region is still the current one keep their pages (splitting the huge
// pages would cost the next pictures made there) until the region empties; the current
// region is then rewound rather than unmapped, so a picture made and dropped again and again
// does not map and unmap a region each time.
//
// A recorder may ask for memory to be kept ready: regions then come prepared, every page
// already written once, from a thread of the pool's own (see KeepReady).
constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kRegionBytes = size_t{32} << 20;
// Blocks larger than this get a mapping of their own, so a region wastes at most a quarter.
constexpr size_t kLargestRegionBlock = kRegionBytes / 4;

struct Region {
    uint8_t* base;
    size_t size;
    size_t used = 0;  // bytes handed out since the region was last rewound
    size_t dirty = 0; // bytes ever handed out since mapped; reuse below this must be zeroed
    size_t live = 0;  // blocks handed out and not yet released
};

// Each block starts with its size, so releasing it needs nothing from the picture header.
struct BlockPrefix {
    size_t bytes;
    size_t unused;
};
static_assert(sizeof(BlockPrefix) % kPixelAlignment == 0);

size_t RoundUp(size_t value, size_t step) {
    return (value + step - 1) / step * step;
}

// Maps `bytes` (a multiple of the page size) at a 2 MB boundary with huge pages advised.
uint8_t* MapAligned(size_t bytes) {
    void* raw = mmap(nullptr, bytes + kHugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = RoundUp(start, kHugePage);
    if (aligned > start)
        munmap(raw, aligned - start);
    const size_t tail = start + bytes + kHugePage - (aligned + bytes);
    if (tail > 0)
        munmap(reinterpret_cast<void*>(aligned + bytes), tail);
    auto* base = reinterpret_cast<uint8_t*>(aligned);
    madvise(base, bytes, MADV_HUGEPAGE); // a hint; the kernel may not offer huge pages
    return base;
}

size_t PageSize() {
    static const size_t pageSize = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return pageSize;
}

class BlockPool {
public:
    // Returns a zeroed, 16-byte aligned block of `bytes` and its region, or null.
    uint8_t* Allocate(size_t bytes, Region** owner) {
        const size_t total = RoundUp(sizeof(BlockPrefix) + bytes, kPixelAlignment);
        uint8_t* block = AllocateInRegion(total, owner);
        if (!block && total > kLargestRegionBlock)
            block = AllocateDedicated(total, owner);
        if (!block)
            return nullptr;
        reinterpret_cast<BlockPrefix*>(block)->bytes = total;
        return block + sizeof(BlockPrefix);
    }

    void Release(void* memory, Region* region) {
        uint8_t* block = static_cast<uint8_t*>(memory) - sizeof(BlockPrefix);
        const size_t total = reinterpret_cast<BlockPrefix*>(block)->bytes;
        std::unique_lock lock(mutex_);
        if (--region->live > 0) {
            // Under the lock: once it is dropped the region may be unmapped by another thread.
            if (region != current_)
                GiveBackPages(block, total);
            return;
        }
        if (region == current_) {
            region->used = 0;
            return;
        }
        lock.unlock();
        Unmap(region);
    }

    // Keeps a region of `bytes` (0: none) mapped and touched ahead of the pictures made
    // next. The first is prepared before this returns and becomes the current region; each
    // following one is prepared on a thread of its own once its predecessor is taken.
    bool KeepReady(size_t bytes) {
        const size_t size = RoundUp(bytes, kHugePage);
        std::unique_lock lock(mutex_);
        reserve_ = size;
        prepareFailed_ = false;
        Region* spare = ready_ ? TakeReady() : nullptr;
        if (spare && size > 0 && spare->size >= size) {
            MakeCurrent(spare);
            StartPreparer();
            return true;
        }
        lock.unlock();
        if (spare)
            Unmap(spare);
        if (size == 0)
            return true;
        Region* prepared = PrepareRegion(size);
        lock.lock();
        if (!prepared) {
            reserve_ = 0; // nobody is told to give it back later
            return false;
        }
        MakeCurrent(prepared);
        StartPreparer();
        return true;
    }

private:
    // From the current region, else from a prepared one that holds the block (a large
    // first frame lands there, and the pictures after it fill the rest), else from a fresh
    // region for blocks up to a quarter of one. Null when none of these serves.
    uint8_t* AllocateInRegion(size_t total, Region** owner) {
        std::lock_guard lock(mutex_);
        if (!current_ || current_->size - current_->used < total) {
            Region* fresh = nullptr;
            if (ready_ && ready_->size >= total)
                fresh = TakeReady();
            else if (total <= kLargestRegionBlock)
                fresh = MapRegion(kRegionBytes);
            if (!fresh)
                return nullptr;
            MakeCurrent(fresh);
        }
        return Carve(total, owner);
    }

    static uint8_t* AllocateDedicated(size_t total, Region** owner) {
        const size_t size = RoundUp(total, PageSize());
        uint8_t* base = MapAligned(size);
        if (!base)
            return nullptr;
        *owner = new (std::nothrow) Region{base, size, total, total, 1};
        if (!*owner) {
            munmap(base, size);
            return nullptr;
        }
        return base;
    }

    // Hands out the next `total` bytes of the current region, which has room for them.
    uint8_t* Carve(size_t total, Region** owner) {
        Region* region = current_;
        uint8_t* block = region->base + region->used;
        const size_t end = region->used + total;
        if (region->used < region->dirty)
            std::memset(block, 0, std::min(end, region->dirty) - region->used);
        region->used = end;
        region->dirty = std::max(region->dirty, end);
        ++region->live;
        *owner = region;
        return block;
    }

    // The region left behind lives on through its blocks; an empty one goes now.
    void MakeCurrent(Region* fresh) {
        if (current_ && current_->live == 0)
            Unmap(current_);
        current_ = fresh;
    }

    Region* TakeReady() {
        Region* region = ready_;
        ready_ = nullptr;
        wakePreparer_.notify_one();
        return region;
    }

    static Region* MapRegion(size_t size) {
        uint8_t* base = MapAligned(size);
        if (!base)
            return nullptr;
        auto* region = new (std::nothrow) Region{base, size, 0, 0, 0};
        if (!region)
            munmap(base, size);
        return region;
    }

    // A fresh region with every page written once. The first write to a page is a fault,
    // and on virtual machines that hand freed memory back to the host one can take tens
    // of microseconds: a recorder writing a frame into fresh memory would miss its times.
    // Zero is written, so the region's memory still needs no clearing.
    static Region* PrepareRegion(size_t size) {
        Region* region = MapRegion(size);
        if (!region)
            return nullptr;
        auto* bytes = reinterpret_cast<volatile uint8_t*>(region->base);
        for (size_t offset = 0; offset < size; offset += PageSize())
            bytes[offset] = 0;
        return region;
    }

    static void Unmap(Region* region) {
        munmap(region->base, region->size);
        delete region;
    }

    // Under the lock. A preparer already running may be waiting for a reserve to be set
    // again (after a recording ended): it is woken to look.
    void StartPreparer() {
        if (preparerStarted_) {
            wakePreparer_.notify_one();
            return;
        }
        try {
            std::thread([this] { PrepareAhead(); }).detach();
            preparerStarted_ = true;
        } catch (const std::system_error&) {
            // No thread: regions are mapped as needed, as without a reserve.
        }
    }

    [[noreturn]] void PrepareAhead() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wakePreparer_.wait(lock, [this] { return reserve_ > 0 && !ready_ && !prepareFailed_; });
            const size_t size = reserve_;
            lock.unlock();
            Region* prepared = PrepareRegion(size);
            lock.lock();
            if (!prepared) {
                prepareFailed_ = true; // until the reserve is set again
            } else if (reserve_ == size && !ready_) {
                ready_ = prepared;
            } else {
                lock.unlock();
                Unmap(prepared);
                lock.lock();
            }
        }
    }

    static void GiveBackPages(uint8_t* block, size_t total) {
        const size_t page = PageSize();
        const uintptr_t first = RoundUp(reinterpret_cast<uintptr_t>(block), page);
        const uintptr_t last = (reinterpret_cast<uintptr_t>(block) + total) & ~(page - 1);
        if (last > first)
            madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
    }

    std::mutex mutex_;
    Region* current_ = nullptr;
    // A prepared region waiting to become the current one, and the size kept ready.
    Region* ready_ = nullptr;
    size_t reserve_ = 0;
    bool prepareFailed_ = false;
    bool preparerStarted_ = false;
    std::condition_variable wakePreparer_;
};

// Under the address sanitizer each picture is a heap block of its own, so a read or write
// past a picture is reported instead of landing quietly in its neighbour.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kHeapBlocks = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kHeapBlocks = true;
#else
constexpr bool kHeapBlocks = false;
#endif
#else
constexpr bool kHeapBlocks = false;
#endif

BlockPool& Pool() {
    static BlockPool* pool = new BlockPool; // never destroyed: pictures may outlive statics
    return *pool;
}

void FillGreyRamp(RgbQuad* colors, int count) {
    for (int i = 0; i < count; ++i) {
        const auto level = static_cast<uint8_t>(count > 1 ? i * 255 / (count - 1) : 0);
        colors[i] = RgbQuad{level, level, level, 0};
    }
}

} // namespace

int64_t DibStride(int width, int bitsPerPixel) {
    if (width <= 0 || !IsSupportedDepth(bitsPerPixel))
        return -1;
    const int64_t rowBits = int64_t{width} * bitsPerPixel;
    return (rowBits + 31) / 32 * 4;
}

bool AllocateDib(DibImage* target, int width, int height, int bitsPerPixel, const RgbQuad* colors,
                 int colorCount) {
    if (!target)
        return false;
    std::memset(target, 0, sizeof(DibImage));
    const int64_t stride = DibStride(width, bitsPerPixel);
    if (stride < 0 || height <= 0 || stride > kMaxPixelBytes / height)
        return false;
    const int64_t pixelBytes = stride * height;

    const size_t blockBytes = PixelOffset() + static_cast<size_t>(pixelBytes);
    Region* region = nullptr;
    uint8_t* bytes = kHeapBlocks ? static_cast<uint8_t*>(std::calloc(1, blockBytes))
                                 : Pool().Allocate(blockBytes, &region);
    if (!bytes)
        return false;
    auto* info = new (bytes) BitmapInfo{};
    auto* palette = new (bytes + sizeof(BitmapInfo)) LogPalette{};

    BitmapInfoHeader& header = info->bmiHeader;
    header.biSize = sizeof(BitmapInfoHeader);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<uint16_t>(bitsPerPixel);
    header.biSizeImage = static_cast<uint32_t>(pixelBytes);

    target->info = info;
    target->memoryHandle = bytes;
    // Where the block came from, for ReleaseDib.
    target->memoryHandle2 = kHeapBlocks ? static_cast<void*>(bytes) : region;
    target->pixels = bytes + PixelOffset();
    target->bytesPerRow = static_cast<int32_t>(stride);

    if (bitsPerPixel <= 8) {
        const int tableSize = 1 << bitsPerPixel;
        int count = colorCount > 0 && colorCount < tableSize ? colorCount : tableSize;
        if (colors) {
            std::memcpy(info->bmiColors, colors, sizeof(RgbQuad) * count);
        } else {
            count = tableSize;
            FillGreyRamp(info->bmiColors, count);
        }
        header.biClrUsed = static_cast<uint32_t>(count);
        palette->palVersion = 0x300;
        palette->palNumEntries = static_cast<uint16_t>(count);
        for (int i = 0; i < count; ++i) {
            const RgbQuad& c = info->bmiColors[i];
            palette->palPalEntry[i] = PaletteEntry{c.rgbRed, c.rgbGreen, c.rgbBlue, 0};
        }
        target->palette = *palette;
        // The palette object lives in the picture's block and goes away with it.
        target->paletteHandle = palette;
        target->hasPalette = 1;
    }
    return true;
}

void ReleaseDib(const DibImage& image) {
    if (kHeapBlocks)
        std::free(image.memoryHandle);
    else if (image.memoryHandle && image.memoryHandle2)
        Pool().Release(image.memoryHandle, static_cast<Region*>(image.memoryHandle2));
}

bool KeepDibMemoryReady(size_t bytes) {
    return !kHeapBlocks && Pool().KeepReady(bytes);
}

bool DibIsUsable(const DibImage& image) {
    if (!image.info || !image.pixels)
        return false;
    const BitmapInfoHeader& header = image.info->bmiHeader;
    const int64_t stride = DibStride(header.biWidth, header.biBitCount);
    return stride > 0 && header.biHeight > 0 && image.bytesPerRow >= stride;
}

} // namespace pictavo
