// TDynaArray: a growable array of fixed-size records stored inline, with a
// current-record cursor that the array writes into a pointer variable of its owner.
//
// Records are plain bytes: the array never constructs, copies as objects or destroys
// what a record holds. Owners release heap strings or images a record points to
// before deleting or clearing it. The capacity the array reports grows and shrinks in steps
// of 100 records; the storage behind it grows geometrically, so that appending stays cheap
// however long the list gets (loading or recording tens of thousands of objects).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

template <typename Record> class TDynaArray {
    static_assert(std::is_trivially_copyable_v<Record>, "records are copied as bytes");

public:
    static constexpr int32_t kGrowthStep = 100;
    static constexpr int32_t RecordSize = static_cast<int32_t>(sizeof(Record));

    explicit TDynaArray(Record** cursorVariable = nullptr) : cursor_(cursorVariable) {
        SetCursor(nullptr);
    }
    virtual ~TDynaArray() { std::free(storage_); }
    TDynaArray(const TDynaArray&) = delete;
    TDynaArray& operator=(const TDynaArray&) = delete;

    int32_t Count() const { return count_; }
    int32_t CurrentIndex() const { return currentIndex_; }
    Record* Current() const { return current_; }
    // Bytes reserved as the list counts them: always a whole number of growth steps while
    // records are held. The storage really held may be larger.
    int64_t Capacity() const { return capacity_; }

    Record& operator[](int32_t i) { return storage_[i]; }
    const Record& operator[](int32_t i) const { return storage_[i]; }
    Record* begin() { return storage_; }
    Record* end() { return storage_ + count_; }
    const Record* begin() const { return storage_; }
    const Record* end() const { return storage_ + count_; }

    // Appends a zero-filled record and makes it current.
    Record* Add() {
        int64_t required = RequiredCapacity(count_ + 1);
        if (required > held_) {
            int64_t grown = std::max(required, held_ + held_ / 2);
            void* block = std::realloc(storage_, static_cast<size_t>(grown));
            if (!block)
                throw std::bad_alloc();
            storage_ = static_cast<Record*>(block);
            held_ = grown;
        }
        capacity_ = required;
        ++count_;
        Record* record = &storage_[count_ - 1];
        std::memset(static_cast<void*>(record), 0, sizeof(Record));
        currentIndex_ = count_ - 1;
        SetCursor(record);
        return record;
    }

    // No range check: callers pass 0 <= i < Count.
    Record* Select(int32_t i) {
        currentIndex_ = i;
        SetCursor(&storage_[i]);
        return current_;
    }

    void Delete(int32_t i) {
        if (i < 0 || i > count_ - 1)
            return;
        for (int32_t k = i + 1; k < count_; ++k)
            std::memcpy(static_cast<void*>(&storage_[k - 1]), &storage_[k], sizeof(Record));
        --count_;
        capacity_ = RequiredCapacity(count_);
        if (count_ == 0) {
            std::free(storage_);
            storage_ = nullptr;
            held_ = 0;
        } else if (capacity_ <= held_ / 4) {
            // Shrunk well below what is held: give half of it back, leaving room to grow.
            void* block = std::realloc(storage_, static_cast<size_t>(held_ / 2));
            if (block) {
                storage_ = static_cast<Record*>(block);
                held_ /= 2;
            }
        }
        currentIndex_ = -1;
        SetCursor(nullptr);
    }

    void Clear() {
        std::free(storage_);
        storage_ = nullptr;
        count_ = 0;
        capacity_ = 0;
        held_ = 0;
        currentIndex_ = -1;
        SetCursor(nullptr);
    }

    // Exchanges records a and b; record b becomes current.
    void Swap(int32_t a, int32_t b) {
        if (a < 0 || a > count_ - 1 || b < 0 || b > count_ - 1)
            return;
        alignas(Record) unsigned char temp[sizeof(Record)];
        std::memcpy(temp, &storage_[a], sizeof(Record));
        std::memcpy(static_cast<void*>(&storage_[a]), &storage_[b], sizeof(Record));
        std::memcpy(static_cast<void*>(&storage_[b]), temp, sizeof(Record));
        currentIndex_ = b;
        SetCursor(&storage_[b]);
    }

    void First() {
        if (count_ > 0) {
            currentIndex_ = 0;
            SetCursor(&storage_[0]);
        }
    }

    // Makes record [current index] current and advances; false past the end.
    bool Next() {
        if (count_ >= 1 && currentIndex_ >= 0 && currentIndex_ <= count_ - 1) {
            SetCursor(&storage_[currentIndex_]);
            ++currentIndex_;
            return true;
        }
        return false;
    }

    // Exchanges the stored records with another array of the same kind. Each array keeps
    // its own cursor variable; both are left without a current record. Used to swap a
    // fully loaded document in at once.
    void ExchangeContents(TDynaArray& other) {
        std::swap(storage_, other.storage_);
        std::swap(count_, other.count_);
        std::swap(capacity_, other.capacity_);
        std::swap(held_, other.held_);
        currentIndex_ = other.currentIndex_ = -1;
        SetCursor(nullptr);
        other.SetCursor(nullptr);
    }

private:
    static int64_t RequiredCapacity(int32_t count) {
        return (static_cast<int64_t>(count - 1) / kGrowthStep + 1) * kGrowthStep * RecordSize;
    }
    void SetCursor(Record* record) {
        current_ = record;
        if (cursor_)
            *cursor_ = record;
    }

    Record** cursor_ = nullptr;
    Record* current_ = nullptr;
    Record* storage_ = nullptr;
    int32_t count_ = 0;
    int32_t currentIndex_ = -1;
    int64_t capacity_ = 0; // as reported
    int64_t held_ = 0;     // bytes of storage_
};
