// A 32-bit x86 PE image (a kernel driver) mapped into this process: sections
// placed at their virtual addresses, base relocations applied for wherever
// the mapping landed, and the import address table open for binding.
#pragma once

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "tools/pe/pe_file.h"

namespace loader {

struct ImportSlot {
  std::string module;    // as the image names it, e.g. "ntoskrnl.exe"
  std::string name;      // the function's name; "#n" for an import by ordinal
  uint32_t slotRva = 0;  // its import address table entry
};

class PeImage {
 public:
  // Maps `file` somewhere other than its preferred base. Null with `error`
  // set when the file is not a 32-bit x86 image the loader can place.
  static std::unique_ptr<PeImage> Map(const std::vector<uint8_t>& file, std::string* error);
  ~PeImage();
  PeImage(const PeImage&) = delete;
  PeImage& operator=(const PeImage&) = delete;

  uint8_t* Base() const { return base_; }
  uint32_t Size() const { return size_; }
  uint32_t EntryRva() const { return entryRva_; }
  const std::vector<ImportSlot>& Imports() const { return imports_; }

  void Bind(const ImportSlot& slot, const void* function);

 private:
  PeImage() = default;
  bool Place(const std::vector<uint8_t>& file, std::string* error);
  bool Relocate(uint32_t rva, uint32_t size, std::string* error);
  bool InImage(uint32_t rva, uint32_t length) const;

  uint8_t* base_ = nullptr;
  uint32_t size_ = 0;
  uint32_t preferredBase_ = 0;
  uint32_t entryRva_ = 0;
  std::vector<ImportSlot> imports_;
};

// Reads a whole file; empty with `error` set when it cannot.
using peimage::ReadFile;

}  // namespace loader
