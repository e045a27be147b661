// The page source form (.kss): one command per line, compiled one-to-one to a page (.ksb).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/page.h"

namespace kova::authoring {

// Compiles the pages of one build. Every page is parsed first; label references to other pages
// ("index=:label" with "page=...") are resolved once all pages are known.
class PageCompiler {
 public:
  PageCompiler();
  ~PageCompiler();

  // Parses one source (UTF-8). `pageName` is the page's name in the title (CP932), the target of
  // a Jump or Call without a page; `file` names the source in errors. Throws SourceError.
  void Add(std::string_view source, std::string pageName, std::string file);
  // Resolves the label references and hands out the pages in the order they were added.
  std::vector<std::unique_ptr<TPage>> Finish();

  struct Unit;  // one parsed page with its label references

 private:
  std::vector<std::unique_ptr<Unit>> units_;
};

// One page on its own; labels can only be resolved within the page itself.
std::unique_ptr<TPage> CompilePageSource(std::string_view source, std::string pageName,
                                         std::string file);

// The stored block of an expression compiled from infix text (CP932); "" or blanks give the
// empty expression. Throws Error with the compiler's message.
Bytes CompileExpressionText(const std::string& cp932Text);

}  // namespace kova::authoring
