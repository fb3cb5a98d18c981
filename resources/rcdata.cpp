#include "rcdata.h"

#include <cstring>


bool FindRcData(const char* name, const std::uint8_t** data, std::size_t* size) {
  for (const RcDataEntry* e = kRcDataTable; e->name; ++e) {
    if (std::strcmp(e->name, name) == 0) {
      *data = e->data;
      *size = *e->size;
      return true;
    }
  }
  return false;
}
