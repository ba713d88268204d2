#include "platform/resources.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include <wx/imagbmp.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/mstream.h>

namespace keplin {
namespace detail {

struct RegisteredTable {
  const ResourceEntry* table;
  std::size_t count;
  bool program;
  const void* module;  // the link map of the module holding the table
};

struct ResourceChainState {
  std::mutex lock;
  std::vector<RegisteredTable> tables;  // in registration order
};

// Every module that links this file has its own copy of this function, but the
// static below is emitted as a process-unique symbol (vague linkage, default
// visibility), so all copies share one chain. It is never destroyed: modules
// may unregister during exit after any static destructor has run.
__attribute__((visibility("default"), noinline)) inline ResourceChainState& ResourceChain() {
  static ResourceChainState* state = new ResourceChainState;
  return *state;
}

}  // namespace detail

namespace {

const void* ModuleOf(const void* address) {
  Dl_info info;
  link_map* map = nullptr;
  if (dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0) return nullptr;
  return map;
}

const ResourceEntry* FindIn(const detail::RegisteredTable& t, unsigned type, unsigned id) {
  for (std::size_t i = 0; i < t.count; ++i) {
    const ResourceEntry& e = t.table[i];
    if (e.type == type && (e.id & 0xFFFFu) == id) return &e;
  }
  return nullptr;
}

// True when `address` lies in the main program rather than in a shared library.
bool InMainProgram(const void* address) {
  Dl_info info;
  link_map* map = nullptr;
  if (dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0 || !map)
    return false;
  void* program = dlopen(nullptr, RTLD_LAZY | RTLD_NOLOAD);
  if (!program) return false;
  const bool same = static_cast<void*>(map) == program;
  dlclose(program);
  return same;
}

}  // namespace

ResourceModule::ResourceModule(const ResourceEntry* table, std::size_t count)
    : m_table(table), m_count(count), m_program(InMainProgram(table)) {
  auto& chain = detail::ResourceChain();
  std::lock_guard<std::mutex> guard(chain.lock);
  chain.tables.push_back({m_table, m_count, m_program, ModuleOf(table)});
}

ResourceModule::~ResourceModule() {
  auto& chain = detail::ResourceChain();
  std::lock_guard<std::mutex> guard(chain.lock);
  auto& tables = chain.tables;
  tables.erase(std::remove_if(tables.begin(), tables.end(),
                              [this](const detail::RegisteredTable& t) { return t.table == m_table; }),
               tables.end());
}

const ResourceEntry* FindResource(unsigned type, unsigned id) {
  id &= 0xFFFFu;
  auto& chain = detail::ResourceChain();
  std::lock_guard<std::mutex> guard(chain.lock);
  // Two passes: the program's tables first, then the libraries', each in
  // registration order, as the framework's resource search went.
  for (const bool program : {true, false}) {
    for (const auto& t : chain.tables) {
      if (t.program != program) continue;
      if (const ResourceEntry* e = FindIn(t, type, id)) return e;
    }
  }
  return nullptr;
}

const ResourceEntry* FindModuleResource(const void* module_address, unsigned type, unsigned id) {
  const void* module = ModuleOf(module_address);
  if (module) {
    auto& chain = detail::ResourceChain();
    std::lock_guard<std::mutex> guard(chain.lock);
    for (const auto& t : chain.tables)
      if (t.module == module)
        if (const ResourceEntry* e = FindIn(t, type, id & 0xFFFFu)) return e;
  }
  return FindResource(type, id);
}

std::string LoadStringResource(const void* module_address, unsigned id) {
  const ResourceEntry* e = FindModuleResource(module_address, kResourceString, id);
  if (!e || !e->data) return std::string();
  return std::string(reinterpret_cast<const char*>(e->data), e->size);
}

bool LoadBitmapResource(unsigned id, wxImage& image) {
  const ResourceEntry* entry = FindResource(kResourceBitmap, id);
  if (!entry || !entry->data || entry->size == 0) return false;
  wxMemoryInputStream stream(entry->data, entry->size);
  // The handler is used directly: it needs no registered image handlers, so
  // lookups work before (or without) the toolkit's initialisation.
  wxBMPHandler handler;
  wxImage decoded;
  {
    wxLogNull quiet;  // a damaged bitmap is a failed load, not a message box
    if (!handler.LoadFile(&decoded, stream, false) || !decoded.IsOk()) return false;
  }
  image = decoded;
  return true;
}

}  // namespace keplin
