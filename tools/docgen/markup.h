// The kit's manuals are written in a small plain-text markup; this reads it.
//
//   title: User Manual              header lines, up to a line "---"
//   subtitle: Oskaro network cameras
//   lang: en                        en, zh-cn or zh-tw
//   ---
//   # Heading                       ## for a sub-heading
//   A paragraph, its lines joined until a blank line.
//   - bullet item                   continuation lines indented by two blanks
//   1. numbered item
//       code line                   four blanks: a block of fixed-width lines
//   > note                          a highlighted box
//   ! picture.bmp | caption         consecutive lines: a row of pictures
//
// Inside texts, **bold** and `code` are marked; everything else is plain text
// (a "<" or "&" is shown as it is).
#pragma once

#include <string>
#include <vector>

namespace docgen {

enum class BlockKind { Heading1, Heading2, Paragraph, Bullet, Numbered, Code, Note, Figures };

struct Figure {
  std::string file;
  std::string caption;  // pango markup
};

struct Block {
  BlockKind kind;
  std::string markup;          // pango markup of the text (code: plain lines, escaped)
  std::string label;           // the number of a numbered item ("3.")
  std::string plain;           // the text without markup (headings: the outline entry)
  std::vector<Figure> figures;
};

struct Document {
  std::string title;
  std::string subtitle;
  std::string lang = "en";
  std::vector<Block> blocks;
};

// Reads a document. On a malformed header, returns false and says why in
// `error`.
bool ParseDocument(const std::string& text, Document* doc, std::string* error);

// Pango markup of one line of the markup's inline syntax.
std::string InlineMarkup(const std::string& text);

// Joins the lines of a paragraph: with a blank between Latin words, without
// one where either side is Chinese (a blank would show between characters).
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace docgen
