// The process-wide resource chain: the program's resources before the
// libraries', one chain shared by every module that links the code, modules
// loaded at run time, and bitmaps that cannot be decoded.
#include <dlfcn.h>

#include <gtest/gtest.h>
#include <wx/colour.h>
#include <wx/image.h>

#include "platform/resources.h"

extern "C" const keplin::ResourceEntry* probe_find(unsigned type, unsigned id);

namespace {

wxColour Pixel(unsigned id) {
  wxImage image;
  if (!keplin::LoadBitmapResource(id, image)) return wxNullColour;
  return wxColour(image.GetRed(0, 0), image.GetGreen(0, 0), image.GetBlue(0, 0));
}

TEST(ResourceChain, ProgramFirstThenLibraries) {
  EXPECT_EQ(Pixel(500), wxColour(200, 0, 0));      // in the program and the library: the program's
  EXPECT_EQ(Pixel(501), wxColour(0, 200, 0));      // only in the library
  EXPECT_EQ(Pixel(500 + 0x10000), wxColour(200, 0, 0));  // ids are 16 bits
  EXPECT_EQ(keplin::FindResource(keplin::kResourceBitmap, 999), nullptr);
  EXPECT_EQ(keplin::FindResource(keplin::kResourceString, 500), nullptr);  // another type

  wxImage image;
  ASSERT_TRUE(keplin::LoadBitmapResource(503, image));
  EXPECT_EQ(image.GetSize(), wxSize(2, 1));
  EXPECT_EQ(image.GetRed(1, 0), 91);
}

TEST(ResourceChain, OneChainForEveryModule) {
  // The library's own copy of the lookup sees the program's table and gives
  // the same answers.
  EXPECT_EQ(probe_find(keplin::kResourceBitmap, 503), keplin::FindResource(keplin::kResourceBitmap, 503));
  EXPECT_EQ(probe_find(keplin::kResourceBitmap, 500), keplin::FindResource(keplin::kResourceBitmap, 500));
  EXPECT_NE(probe_find(keplin::kResourceBitmap, 503), nullptr);
}

TEST(ResourceChain, AModuleFindsItsOwnResourcesFirst) {
  // The library holds its own 500; a lookup on its behalf finds that one,
  // and whatever it lacks as the chain does.
  const void* library = reinterpret_cast<const void*>(&probe_find);
  const keplin::ResourceEntry* own = keplin::FindModuleResource(library, keplin::kResourceBitmap, 500);
  ASSERT_NE(own, nullptr);
  EXPECT_NE(own, keplin::FindResource(keplin::kResourceBitmap, 500));
  EXPECT_EQ(keplin::FindModuleResource(library, keplin::kResourceBitmap, 503),
            keplin::FindResource(keplin::kResourceBitmap, 503));
  EXPECT_EQ(keplin::FindModuleResource(reinterpret_cast<const void*>(&Pixel), keplin::kResourceBitmap, 500),
            keplin::FindResource(keplin::kResourceBitmap, 500));
  EXPECT_EQ(keplin::LoadStringResource(library, 500), "");  // a bitmap is no string
}

TEST(ResourceChain, ModuleLoadedAtRunTime) {
  EXPECT_EQ(Pixel(502), wxNullColour);
  void* plugin = dlopen(KEPLIN_RESOURCE_PLUGIN, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(plugin, nullptr) << dlerror();
  EXPECT_EQ(Pixel(502), wxColour(0, 0, 200));
  EXPECT_EQ(probe_find(keplin::kResourceBitmap, 502), keplin::FindResource(keplin::kResourceBitmap, 502));
  dlclose(plugin);
  // Whether or not the loader unmapped it, a lookup never reads freed memory
  // (AddressSanitizer would report it): the entry is either gone or still valid.
  const keplin::ResourceEntry* entry = keplin::FindResource(keplin::kResourceBitmap, 502);
  if (entry) {
    EXPECT_EQ(Pixel(502), wxColour(0, 0, 200));
  }
}

TEST(ResourceChain, DamagedBitmapIsAFailedLoad) {
  ASSERT_NE(keplin::FindResource(keplin::kResourceBitmap, 504), nullptr);
  wxImage image(3, 3);
  EXPECT_FALSE(keplin::LoadBitmapResource(504, image));
  EXPECT_EQ(image.GetSize(), wxSize(3, 3));  // untouched
}

}  // namespace
