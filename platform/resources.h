// Module resources (bitmaps by numeric id) and the process-wide chain that
// finds them.
//
// Every module (the program and each shared library) compiles its resources
// into itself (cmake/KeplinResources.cmake) and registers them while it loads,
// through a static ResourceModule object; the object removes them again when
// the module unloads. A lookup by id searches the running program's modules
// first, then the libraries in the order in which they registered.
//
// The chain is one per process even though this code is linked statically into
// several modules: its state lives behind a function-local static of an inline
// function, which the toolchain makes a single object for the whole process.
// All functions may be called on any thread.
#pragma once

#include <cstddef>
#include <string>

class wxImage;

namespace keplin {

// Resource kinds, numbered as the Windows resource types they replace.
enum ResourceType : unsigned { kResourceBitmap = 2, kResourceString = 6 };

struct ResourceEntry {
  unsigned type;               // ResourceType
  unsigned id;                 // numeric resource id (16 bits are significant)
  const unsigned char* data;   // bitmaps: the contents of a .bmp file
  std::size_t size;
};

// Registers a table of resources for the module that contains `table` and
// unregisters it on destruction. The table must outlive the object. Declare
// one as a static object in the module; it is not copyable.
class ResourceModule {
 public:
  ResourceModule(const ResourceEntry* table, std::size_t count);
  ~ResourceModule();
  ResourceModule(const ResourceModule&) = delete;
  ResourceModule& operator=(const ResourceModule&) = delete;

  bool IsProgram() const { return m_program; }

 private:
  const ResourceEntry* m_table;
  std::size_t m_count;
  bool m_program;
};

// The entry of the given type and id (low 16 bits), or null when no module
// holds one. The pointer stays valid while its module is loaded.
const ResourceEntry* FindResource(unsigned type, unsigned id);

// As FindResource, but the module that contains `module_address` (pass the
// address of one of its own functions or objects) is searched first: a module
// loaded beside others with the same ids keeps its own texts and bitmaps.
const ResourceEntry* FindModuleResource(const void* module_address, unsigned type, unsigned id);

// A string resource (UTF-8) as FindModuleResource finds it; empty when none.
std::string LoadStringResource(const void* module_address, unsigned id);

// Decodes bitmap `id` into `image`; false (image untouched) when the bitmap is
// missing or cannot be decoded.
bool LoadBitmapResource(unsigned id, wxImage& image);

}  // namespace keplin
