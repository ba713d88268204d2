// Lays a parsed document out on A4 pages and writes it as a PDF with its
// fonts embedded, an outline of its headings and page numbers.
#pragma once

#include <string>

#include "markup.h"

namespace docgen {

// Pictures named by the document are looked up in `imageDir` (24-bit Windows
// bitmaps). Returns false, with the reason in `error`, when a picture is
// missing or the PDF cannot be written.
bool RenderPdf(const Document& doc, const std::string& imageDir, const std::string& path, std::string* error);

}  // namespace docgen
