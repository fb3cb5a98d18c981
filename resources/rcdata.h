#pragma once
#include <cstddef>
#include <cstdint>

struct RcDataEntry {
  const char* name;
  const std::uint8_t* data;
  const std::size_t* size;
};

// Looks a raw data resource up by name, exactly as spelled. Returns false
// (and leaves the outputs alone) when the program has no such resource.
extern const RcDataEntry kRcDataTable[];  // generated, ends with a null name

bool FindRcData(const char* name, const std::uint8_t** data, std::size_t* size);
