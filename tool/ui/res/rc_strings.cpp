// Build tool of the native configuration: turns the STRINGTABLE blocks of
// the tool's UTF-8 .rc files into a C++ source that hands every entry to the
// simulated host at start-up, so LoadStringW finds exactly the shipped text.
//
//   rc_strings OUT.cpp IN.rc...
//
// Understood: // and /* */ comments, preprocessor lines (skipped; the output
// includes resource.h for the ids), STRINGTABLE [options] BEGIN|{ entries
// END|}, each entry an id (name or number), an optional comma and one
// string whose "" stands for a quote and whose backslash escapes are those
// of C. Anything else outside a string table is skipped.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Token {
  enum Kind { Word, String, Comma, End } kind;
  std::string text;  // a String's text as C escapes (quotes escaped)
  int line;
};

class Lexer {
 public:
  Lexer(std::string text, std::string file) : s_(std::move(text)), file_(std::move(file)) {}

  Token next() {
    skipSpace();
    if (i_ >= s_.size()) return {Token::End, "", line_};
    char c = s_[i_];
    if (c == ',') {
      ++i_;
      return {Token::Comma, ",", line_};
    }
    if (c == '"') return string();
    size_t start = i_;
    while (i_ < s_.size() && !std::isspace(static_cast<unsigned char>(s_[i_])) && s_[i_] != ',' && s_[i_] != '"') ++i_;
    return {Token::Word, s_.substr(start, i_ - start), line_};
  }

  [[noreturn]] void fail(const std::string& what, int line) const {
    std::cerr << file_ << ":" << line << ": " << what << "\n";
    std::exit(1);
  }

 private:
  void skipSpace() {
    for (;;) {
      while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) {
        if (s_[i_] == '\n') ++line_;
        ++i_;
      }
      if (s_.compare(i_, 2, "//") == 0 || (s_[i_] == '#' && atLineStart())) {
        while (i_ < s_.size() && s_[i_] != '\n') ++i_;
      } else if (s_.compare(i_, 2, "/*") == 0) {
        size_t end = s_.find("*/", i_ + 2);
        for (size_t k = i_; k < std::min(end, s_.size()); ++k)
          if (s_[k] == '\n') ++line_;
        i_ = end == std::string::npos ? s_.size() : end + 2;
      } else {
        return;
      }
    }
  }

  bool atLineStart() const {
    for (size_t k = i_; k-- > 0;) {
      if (s_[k] == '\n') return true;
      if (!std::isspace(static_cast<unsigned char>(s_[k]))) return false;
    }
    return true;
  }

  Token string() {
    int line = line_;
    std::string out;
    ++i_;
    for (;;) {
      if (i_ >= s_.size() || s_[i_] == '\n') fail("unterminated string", line);
      char c = s_[i_++];
      if (c == '"') {
        if (i_ < s_.size() && s_[i_] == '"') {
          out += "\\\"";
          ++i_;
          continue;
        }
        return {Token::String, out, line};
      }
      if (c == '\\') {
        if (i_ >= s_.size()) fail("unterminated string", line);
        out += c;
        out += s_[i_++];
        continue;
      }
      out += c;
    }
  }

  std::string s_;
  std::string file_;
  size_t i_ = 0;
  int line_ = 1;
};

bool is(const Token& t, const char* word) { return t.kind == Token::Word && t.text == word; }

struct Entry {
  std::string id;
  std::string text;
};

void readTables(const std::string& path, std::vector<Entry>& entries) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cerr << path << ": cannot be read\n";
    std::exit(1);
  }
  std::stringstream buffer;
  buffer << in.rdbuf();
  Lexer lex(buffer.str(), path);
  for (Token t = lex.next(); t.kind != Token::End; t = lex.next()) {
    if (!is(t, "STRINGTABLE")) continue;
    // Options (LANGUAGE ..., CHARACTERISTICS ...) up to BEGIN.
    do t = lex.next();
    while (t.kind != Token::End && !is(t, "BEGIN") && !is(t, "{"));
    if (t.kind == Token::End) lex.fail("STRINGTABLE without BEGIN", t.line);
    for (;;) {
      Token id = lex.next();
      if (is(id, "END") || is(id, "}")) break;
      if (id.kind != Token::Word) lex.fail("string id expected", id.line);
      Token text = lex.next();
      if (text.kind == Token::Comma) text = lex.next();
      if (text.kind != Token::String) lex.fail("string expected after " + id.text, text.line);
      entries.push_back({id.text, text.text});
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: rc_strings OUT.cpp IN.rc...\n";
    return 2;
  }
  std::vector<Entry> entries;
  for (int k = 2; k < argc; ++k) readTables(argv[k], entries);
  std::ostringstream out;
  out << "// Generated from the tool's string tables by rc_strings; do not edit.\n"
         "#include <windows.h>\n\n"
         "#include \"resource.h\"\n"
         "#include \"sim/resource.h\"\n\n"
         "namespace {\n\n"
         "struct Entry {\n  UINT id;\n  const char16_t* text;\n};\n\n"
         "const Entry kEntries[] = {\n";
  for (const Entry& e : entries) out << "    {" << e.id << ", u\"" << e.text << "\"},\n";
  // Two entries with one id fail to compile here, as they would fail the
  // resource compiler.
  out << "};\n\n"
         "[[maybe_unused]] constexpr bool idsAreUnique(UINT id) {\n  switch (id) {\n";
  for (const Entry& e : entries) out << "    case " << e.id << ":\n";
  out << "      return true;\n  }\n  return false;\n}\n\n"
         "const bool g_registered = [] {\n"
         "  for (const Entry& e : kEntries) sim::addProgramString(e.id, e.text);\n"
         "  return true;\n"
         "}();\n\n"
         "}  // namespace\n";
  // Rewritten only when it changes, so an edit elsewhere rebuilds nothing.
  std::string text = out.str();
  {
    std::ifstream old(argv[1], std::ios::binary);
    std::stringstream current;
    current << old.rdbuf();
    if (old && current.str() == text) return 0;
  }
  std::ofstream file(argv[1], std::ios::binary);
  file << text;
  return file ? 0 : 1;
}
