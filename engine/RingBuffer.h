// Fixed-capacity sample ring with one writing thread and `Readers` reading threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>

#include "framework/core/Exceptions.h"

// How it works: no lock. The writer alone stores m_write, each reader alone stores its
// m_read[r]; each side loads the other's index to compute its count. A side publishes its
// index with a release store after its copy, and loads the other side's index with an
// acquire load before its copy, so the reader never sees an index ahead of the samples it
// covers and the writer never reuses slots the reader is still copying out of. One slot
// always stays free: equal indexes mean empty.
//
// Writable room is computed from reader 0 only; rings with several readers must keep
// the others no further behind than reader 0.
template <typename T, int Readers>
class RingBuffer {
  static_assert(Readers >= 1, "a ring needs a reader");

 public:
  // Throws the framework's memory exception when capacity + 1 elements cannot be had.
  explicit RingBuffer(uint32_t capacity) : m_data(nullptr), m_write(0), m_size(capacity + 1) {
    for (auto& r : m_read) r.store(0, std::memory_order_relaxed);
    // capacity + 1 wraps to 0 for the largest capacity; the byte count must fit size_t.
    if (m_size == 0 || m_size > SIZE_MAX / sizeof(T)) AfxThrowMemoryException();
    m_data = new (std::nothrow) T[m_size];
    if (!m_data) AfxThrowMemoryException();
  }
  virtual ~RingBuffer() { delete[] m_data; }
  RingBuffer(const RingBuffer&) = delete;
  RingBuffer& operator=(const RingBuffer&) = delete;

  uint32_t Capacity() const { return m_size - 1; }

  // Samples reader r can take. Called by reader r (or by anyone for a snapshot).
  uint32_t ReadableCount(int reader = 0) const {
    const uint32_t w = m_write.load(std::memory_order_acquire);
    const uint32_t r = m_read[reader].load(std::memory_order_acquire);
    return (w + m_size - r) % m_size;
  }

  // Samples the writer can put without dropping any. Called by the writer.
  uint32_t WritableCount() const {
    const uint32_t r = m_read[0].load(std::memory_order_acquire);
    const uint32_t w = m_write.load(std::memory_order_acquire);
    return (r + m_size - w - 1) % m_size;
  }

  // Copies up to n samples out. When fewer are there, dest[count..n) is zero-filled.
  uint32_t Read(T* dest, uint32_t n, int reader = 0) {
    const uint32_t available = ReadableCount(reader);
    if (available < n) {
      memset(dest + available, 0, (n - available) * sizeof(T));
      n = available;
    }
    if (n == 0) return 0;
    const uint32_t r = m_read[reader].load(std::memory_order_relaxed);
    const uint32_t toEnd = m_size - r;
    if (toEnd < n) {
      memcpy(dest, m_data + r, toEnd * sizeof(T));
      memcpy(dest + toEnd, m_data, (n - toEnd) * sizeof(T));
    } else {
      memcpy(dest, m_data + r, n * sizeof(T));
    }
    m_read[reader].store((r + n) % m_size, std::memory_order_release);
    return n;
  }

  // Copies in what fits and drops the rest; callers that must lose nothing wait for
  // WritableCount() first.
  uint32_t Write(const T* source, uint32_t n) {
    const uint32_t room = WritableCount();
    if (n > room) n = room;
    if (n == 0) return 0;
    const uint32_t w = m_write.load(std::memory_order_relaxed);
    const uint32_t toEnd = m_size - w;
    if (toEnd < n) {
      memcpy(m_data + w, source, toEnd * sizeof(T));
      memcpy(m_data, source + toEnd, (n - toEnd) * sizeof(T));
    } else {
      memcpy(m_data + w, source, n * sizeof(T));
    }
    m_write.store((w + n) % m_size, std::memory_order_release);
    return n;
  }

  // Empties the ring. Only while neither side is copying (before the threads start, or
  // under the lock both sides hold around their calls).
  void Reset() {
    m_write.store(0, std::memory_order_release);
    for (auto& r : m_read) r.store(0, std::memory_order_release);
  }

 private:
  T* m_data;
  std::atomic<uint32_t> m_write;
  std::atomic<uint32_t> m_read[Readers];
  uint32_t m_size;  // capacity + 1
};
