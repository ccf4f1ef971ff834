#include "core/ByteBuffer.h"

#include <cstdlib>
#include <cstring>

ByteBuffer::~ByteBuffer() { free(data); }

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept : data(other.data), size(other.size) {
  other.data = nullptr;
  other.size = 0;
}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
  if (this != &other) {
    free(data);
    data = other.data;
    size = other.size;
    other.data = nullptr;
    other.size = 0;
  }
  return *this;
}

int BufferAppend(ByteBuffer& buffer, const void* bytes, size_t n) {
  if (n == 0) return 1;
  size_t newSize = static_cast<size_t>(buffer.size) + n;
  if (newSize < n) return 0;  // would wrap around
  void* grown = realloc(buffer.data, newSize);
  if (!grown) return 0;  // the old block is still valid and still described by size
  buffer.data = static_cast<unsigned char*>(grown);
  memcpy(buffer.data + buffer.size, bytes, n);
  buffer.size += n;
  return 1;
}

void BufferClear(ByteBuffer& buffer) {
  free(buffer.data);
  buffer.data = nullptr;
  buffer.size = 0;
}

int BufferCopy(ByteBuffer& target, const ByteBuffer& source) {
  if (&target == &source) return 1;
  BufferClear(target);
  return BufferAppend(target, source.data, static_cast<size_t>(source.size));
}
