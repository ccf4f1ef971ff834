// A block of bytes on the C heap and its size. Every append reallocates the
// block to exactly the new size; an empty buffer has no data.
#pragma once

#include <cstddef>

struct ByteBuffer {
  unsigned char* data = nullptr;
  unsigned long long size = 0;
};

// Appends n bytes. If the block cannot grow, the buffer keeps its old data
// and size and the result is 0.
int BufferAppend(ByteBuffer& buffer, const void* bytes, size_t n);
// Frees the data; the buffer becomes empty.
void BufferClear(ByteBuffer& buffer);
// Replaces the contents with a copy of another buffer's bytes; 1/0.
int BufferCopy(ByteBuffer& target, const ByteBuffer& source);
