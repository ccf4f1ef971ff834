// A block of bytes on the C heap and its size. Every append reallocates the
// block to exactly the new size; an empty buffer has no data.
//
// The buffer owns its block and frees it when it goes out of scope;
// BufferClear empties it earlier, for reuse. It is moved, never copied (a
// copy of the bytes is BufferCopy): moving hands the block over and leaves
// the source empty.
#pragma once

#include <cstddef>

struct ByteBuffer {
  unsigned char* data = nullptr;
  unsigned long long size = 0;

  ByteBuffer() = default;
  ~ByteBuffer();
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;
  ByteBuffer(ByteBuffer&& other) noexcept;
  // Frees the block held before and takes over the other's.
  ByteBuffer& operator=(ByteBuffer&& other) noexcept;
};

// Appends n bytes. If the block cannot grow, the buffer keeps its old data
// and size and the result is 0.
int BufferAppend(ByteBuffer& buffer, const void* bytes, size_t n);
// Frees the data; the buffer becomes empty.
void BufferClear(ByteBuffer& buffer);
// Replaces the contents with a copy of another buffer's bytes; 1/0.
int BufferCopy(ByteBuffer& target, const ByteBuffer& source);
