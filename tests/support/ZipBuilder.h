// Builds ZIP archive bytes for tests: stored or deflated entries with their
// local headers, central directory and end record, and knobs that break one
// rule at a time (wrong CRC, encryption flag, ZIP64 markers).
#pragma once

#include <windows.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "tests/common/FileText.h"

class ZipBuilder {
public:
  struct Options {
    bool deflate = true;
    bool encrypted = false;
    bool wrongCrc = false;
    bool zip64Sizes = false;
    bool utf8 = false;
  };

  void Add(const std::string& name, const std::string& data) { Add(name, data, Options()); }
  void Add(const std::string& name, const std::string& data, const Options& options) {
    Item item;
    item.name = name;
    item.size = static_cast<DWORD>(data.size());
    item.crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
    if (options.wrongCrc) item.crc ^= 0x1;
    item.method = options.deflate ? 8 : 0;
    item.flags = (options.encrypted ? 0x1 : 0) | (options.utf8 ? 0x800 : 0);
    item.zip64 = options.zip64Sizes;
    item.data = options.deflate ? Deflate(data) : data;
    items_.push_back(item);
  }

  std::string Bytes() const {
    std::string out, directory;
    for (const Item& item : items_) {
      DWORD offset = static_cast<DWORD>(out.size());
      DWORD compressed = item.zip64 ? 0xFFFFFFFF : static_cast<DWORD>(item.data.size());
      DWORD size = item.zip64 ? 0xFFFFFFFF : item.size;
      Put32(out, 0x04034B50);
      Put16(out, 20);
      Put16(out, item.flags);
      Put16(out, item.method);
      Put16(out, 0);
      Put16(out, 0x21);
      Put32(out, item.crc);
      Put32(out, compressed);
      Put32(out, size);
      Put16(out, static_cast<unsigned>(item.name.size()));
      Put16(out, 0);
      out += item.name;
      out += item.data;
      Put32(directory, 0x02014B50);
      Put16(directory, 20);
      Put16(directory, 20);
      Put16(directory, item.flags);
      Put16(directory, item.method);
      Put16(directory, 0);
      Put16(directory, 0x21);
      Put32(directory, item.crc);
      Put32(directory, compressed);
      Put32(directory, size);
      Put16(directory, static_cast<unsigned>(item.name.size()));
      Put16(directory, 0);
      Put16(directory, 0);
      Put16(directory, 0);
      Put16(directory, 0);
      Put32(directory, 0);
      Put32(directory, offset);
      directory += item.name;
    }
    DWORD directoryOffset = static_cast<DWORD>(out.size());
    out += directory;
    Put32(out, 0x06054B50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<unsigned>(items_.size()));
    Put16(out, static_cast<unsigned>(items_.size()));
    Put32(out, static_cast<DWORD>(directory.size()));
    Put32(out, directoryOffset);
    Put16(out, static_cast<unsigned>(comment_.size()));
    out += comment_;
    return out;
  }

  void SetComment(const std::string& comment) { comment_ = comment; }

  // Writes the archive to a file; true on success.
  bool Write(const std::wstring& path) const { return WriteFileText(path, Bytes()); }

private:
  struct Item {
    std::string name, data;
    DWORD crc = 0, size = 0;
    unsigned method = 0, flags = 0;
    bool zip64 = false;
  };

  static void Put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
  }
  static void Put32(std::string& out, DWORD v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
  }
  static std::string Deflate(const std::string& data) {
    z_stream s = {};
    deflateInit2(&s, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&s, static_cast<uLong>(data.size())) + 16, '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = reinterpret_cast<Bytef*>(&out[0]);
    s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
  }

  std::vector<Item> items_;
  std::string comment_;
};
