#include "markup.h"

#include <cctype>
#include <sstream>

namespace docgen {

namespace {

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Trim(const std::string& s) {
  const std::size_t begin = s.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return "";
  const std::size_t end = s.find_last_not_of(" \t\r");
  return s.substr(begin, end - begin + 1);
}

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// The code point that starts at or ends before a byte position, for the
// Chinese test of JoinLines.
unsigned CodePointAt(const std::string& s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  if (byte(i) < 0x80) return byte(i);
  unsigned cp = 0;
  int extra = 0;
  if ((byte(i) & 0xE0) == 0xC0) cp = byte(i) & 0x1F, extra = 1;
  else if ((byte(i) & 0xF0) == 0xE0) cp = byte(i) & 0x0F, extra = 2;
  else if ((byte(i) & 0xF8) == 0xF0) cp = byte(i) & 0x07, extra = 3;
  for (int k = 1; k <= extra && i + k < s.size(); ++k) cp = (cp << 6) | (byte(i + k) & 0x3F);
  return cp;
}

unsigned LastCodePoint(const std::string& s) {
  std::size_t i = s.size() - 1;
  while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) --i;
  return CodePointAt(s, i);
}

bool IsWide(unsigned cp) { return cp >= 0x2E80; }

// "12. text" gives label "12." and the text; anything else gives false.
bool SplitNumbered(const std::string& line, std::string* label, std::string* text) {
  std::size_t i = 0;
  while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) ++i;
  if (i == 0 || i + 1 >= line.size() || line[i] != '.' || line[i + 1] != ' ') return false;
  *label = line.substr(0, i + 1);
  *text = Trim(line.substr(i + 2));
  return true;
}

bool IsListStart(const std::string& line) {
  std::string label, text;
  return StartsWith(line, "- ") || SplitNumbered(line, &label, &text);
}

std::string PlainText(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "**") == 0) {
      ++i;
      continue;
    }
    if (text[i] != '`') out += text[i];
  }
  return out;
}

}  // namespace

std::string InlineMarkup(const std::string& text) {
  std::string out;
  bool bold = false;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '`') {
      const std::size_t end = text.find('`', i + 1);
      if (end != std::string::npos) {
        out += "<span font_family=\"Liberation Mono\">" + Escape(text.substr(i + 1, end - i - 1)) + "</span>";
        i = end + 1;
        continue;
      }
    }
    if (text.compare(i, 2, "**") == 0 && (bold || text.find("**", i + 2) != std::string::npos)) {
      out += bold ? "</b>" : "<b>";
      bold = !bold;
      i += 2;
      continue;
    }
    const std::size_t next = text.find_first_of("`*", i + 1);
    const std::size_t stop = next == std::string::npos ? text.size() : next;
    out += Escape(text.substr(i, stop - i));
    i = stop;
  }
  return out;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& raw : lines) {
    const std::string line = Trim(raw);
    if (line.empty()) continue;
    if (!out.empty() && !IsWide(LastCodePoint(out)) && !IsWide(CodePointAt(line, 0))) out += ' ';
    out += line;
  }
  return out;
}

bool ParseDocument(const std::string& text, Document* doc, std::string* error) {
  *doc = Document{};
  std::vector<std::string> lines;
  {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
  }
  std::size_t i = 0;
  bool headerClosed = false;
  for (; i < lines.size(); ++i) {
    const std::string line = Trim(lines[i]);
    if (line == "---") {
      headerClosed = true;
      ++i;
      break;
    }
    if (line.empty()) continue;
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) {
      *error = "header line " + std::to_string(i + 1) + " is not \"key: value\"";
      return false;
    }
    const std::string key = Trim(line.substr(0, colon));
    const std::string value = Trim(line.substr(colon + 1));
    if (key == "title") doc->title = value;
    else if (key == "subtitle") doc->subtitle = value;
    else if (key == "lang") doc->lang = value;
    else {
      *error = "unknown header key \"" + key + "\"";
      return false;
    }
  }
  if (!headerClosed || doc->title.empty()) {
    *error = "the header needs a title and a closing \"---\"";
    return false;
  }

  while (i < lines.size()) {
    const std::string& raw = lines[i];
    const std::string line = Trim(raw);
    if (line.empty()) {
      ++i;
      continue;
    }
    Block block{};
    if (StartsWith(raw, "    ")) {
      block.kind = BlockKind::Code;
      std::vector<std::string> code;
      while (i < lines.size() && (StartsWith(lines[i], "    ") || Trim(lines[i]).empty())) code.push_back(lines[i++]);
      while (!code.empty() && Trim(code.back()).empty()) code.pop_back();
      for (std::size_t k = 0; k < code.size(); ++k)
        block.markup += (k ? "\n" : "") + Escape(code[k].size() > 4 ? code[k].substr(4) : "");
    } else if (StartsWith(line, "## ") || StartsWith(line, "# ")) {
      const bool sub = StartsWith(line, "## ");
      block.kind = sub ? BlockKind::Heading2 : BlockKind::Heading1;
      block.plain = PlainText(Trim(line.substr(sub ? 3 : 2)));
      block.markup = InlineMarkup(Trim(line.substr(sub ? 3 : 2)));
      ++i;
    } else if (StartsWith(line, "! ")) {
      block.kind = BlockKind::Figures;
      while (i < lines.size() && StartsWith(Trim(lines[i]), "! ")) {
        const std::string entry = Trim(lines[i++]).substr(2);
        const std::size_t bar = entry.find('|');
        Figure figure;
        figure.file = Trim(entry.substr(0, bar));
        figure.caption = bar == std::string::npos ? "" : InlineMarkup(Trim(entry.substr(bar + 1)));
        block.figures.push_back(figure);
      }
    } else if (StartsWith(line, "> ") || line == ">") {
      block.kind = BlockKind::Note;
      std::vector<std::string> note;
      while (i < lines.size() && StartsWith(Trim(lines[i]), ">")) note.push_back(Trim(lines[i++]).substr(1));
      block.markup = InlineMarkup(JoinLines(note));
    } else if (IsListStart(line)) {
      std::string first;
      if (StartsWith(line, "- ")) {
        block.kind = BlockKind::Bullet;
        first = Trim(line.substr(2));
      } else {
        block.kind = BlockKind::Numbered;
        SplitNumbered(line, &block.label, &first);
      }
      std::vector<std::string> item{first};
      ++i;
      while (i < lines.size() && StartsWith(lines[i], "  ") && !StartsWith(lines[i], "    ") &&
             !Trim(lines[i]).empty())
        item.push_back(lines[i++]);
      block.markup = InlineMarkup(JoinLines(item));
    } else {
      block.kind = BlockKind::Paragraph;
      std::vector<std::string> para;
      while (i < lines.size() && !Trim(lines[i]).empty() && !StartsWith(lines[i], "    ")) {
        const std::string next = Trim(lines[i]);
        if (!para.empty() && (StartsWith(next, "#") || StartsWith(next, "> ") || StartsWith(next, "! ") ||
                              IsListStart(next)))
          break;
        para.push_back(lines[i++]);
      }
      block.markup = InlineMarkup(JoinLines(para));
    }
    doc->blocks.push_back(block);
  }
  return true;
}

}  // namespace docgen
