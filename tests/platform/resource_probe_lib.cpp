// A shared library with resources of its own and its own copy of the
// resource chain code, for platform_resource_test.
#include "platform/resources.h"

extern "C" __attribute__((visibility("default"))) const keplin::ResourceEntry* probe_find(unsigned type,
                                                                                          unsigned id) {
  return keplin::FindResource(type, id);
}
