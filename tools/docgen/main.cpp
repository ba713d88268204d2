// docgen: makes one of the kit's PDF manuals from its text.
//
//   docgen --images DIR INPUT.txt OUTPUT.pdf
//
// DIR holds the pictures the text names. Exits 1, with a message, when the
// text cannot be read or parsed, a picture is missing or the PDF cannot be
// written; no partial file is left behind then.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "markup.h"
#include "render.h"

int main(int argc, char** argv) {
  if (argc != 5 || std::string(argv[1]) != "--images") {
    std::fprintf(stderr, "usage: %s --images DIR INPUT.txt OUTPUT.pdf\n", argv[0]);
    return 2;
  }
  const std::string imageDir = argv[2], input = argv[3], output = argv[4];
  std::ifstream in(input, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "docgen: cannot read %s\n", input.c_str());
    return 1;
  }
  std::ostringstream text;
  text << in.rdbuf();

  docgen::Document doc;
  std::string error;
  if (!docgen::ParseDocument(text.str(), &doc, &error)) {
    std::fprintf(stderr, "docgen: %s: %s\n", input.c_str(), error.c_str());
    return 1;
  }
  // Written beside the target and renamed, so that an interrupted build never
  // leaves a truncated manual that looks up to date.
  const std::string partial = output + ".part";
  if (!docgen::RenderPdf(doc, imageDir, partial, &error)) {
    std::fprintf(stderr, "docgen: %s\n", error.c_str());
    std::filesystem::remove(partial);
    return 1;
  }
  std::error_code ec;
  std::filesystem::rename(partial, output, ec);
  if (ec) {
    std::fprintf(stderr, "docgen: cannot write %s: %s\n", output.c_str(), ec.message().c_str());
    std::filesystem::remove(partial);
    return 1;
  }
  return 0;
}
